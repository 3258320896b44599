#include "support/RangeChecker.h"

#include <optional>
#include <regex>
#include <set>

#include "avi/DisplayAviInfo.h"
#include "common/FileSource.h"
#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "avi/full/AviFull.h"

namespace kestrova::test {
namespace {

struct Value {
    std::string label;  // before the first ": ", trimmed; "" for a line without one
    std::string text;   // after it, or the whole line
};

std::string Trim(const std::string& s) {
    const std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

Value Split(const std::string& line) {
    const std::size_t colon = line.find(": ");
    if (colon == std::string::npos) return {"", Trim(line)};
    return {Trim(line.substr(0, colon)), Trim(line.substr(colon + 2))};
}

std::uint64_t Hex(const std::string& text) {
    return text.rfind("0X", 0) == 0 ? std::stoull(text.substr(2), nullptr, 16) : 0;
}

// The value of a DecHex form ("1,234 (0X000004D2)") or a Hex32 form; none for
// anything else, four-character codes ("1234 (0X31323334)") among them.
std::optional<std::uint64_t> WholeFieldValue(const std::string& text) {
    static const std::regex decHex(R"(([0-9][0-9,]*) \((0X[0-9A-F]+|0{4,})\))");
    static const std::regex hex32(R"(0X[0-9A-F]{8,}|0{10})");
    std::smatch m;
    if (std::regex_match(text, m, decHex)) {
        std::string digits = m[1];
        std::erase(digits, ',');
        if (digits.size() > 20) return std::nullopt;
        const std::uint64_t hex = Hex(m[2]);
        if (std::stoull(digits) != hex) return std::nullopt;
        return hex;
    }
    if (std::regex_match(text, hex32)) return Hex(text);
    return std::nullopt;
}

bool ShowsValue(const std::string& line, const Value& v) {
    if (!v.label.empty()) return !v.text.empty();
    // A value without a label of its own: a listed brand, the raw number under a time.
    static const std::regex bare(R"(.*\((0X[0-9A-F]+|0{4,})\)$)");
    return line.rfind("   ", 0) == 0 && std::regex_match(v.text, bare);
}

// A field that could not be read shows as zero and has no range; so has an empty text.
bool ShowsZero(const std::string& text) {
    static const std::regex zeroFixedPoint(R"(0 \(0{10}>>16\))");
    if (text == "\"\"" || text == "UnKnown Format" || std::regex_match(text, zeroFixedPoint)) return true;
    if (const std::optional<std::uint64_t> v = WholeFieldValue(text)) return *v == 0;
    return text.find("(0000000000)") != std::string::npos || text == CompressionText(0) ||
           text == AudioFormatText(0);
}

bool IsComputed(const std::string& label, bool iso) {
    static const std::set<std::string> kIso = {"Start offset"};
    static const std::set<std::string> kAvi = {"Start offset", "Data Size", "Audio Sample Count",
                                               "Total Sample Count", "KeySample Count"};
    return (iso ? kIso : kAvi).count(label) != 0;
}

// A descriptor length: seven bits a byte, every byte but the last with its top bit set.
std::optional<std::uint64_t> ExpandableLength(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (((bytes[i] & 0x80) != 0) != (i + 1 < bytes.size())) return std::nullopt;
        v = v << 7 | (bytes[i] & 0x7F);
    }
    return v;
}

// value stands in some run of bits of the bytes.
bool IsBitField(std::uint64_t value, std::uint64_t bytes, unsigned bits) {
    unsigned width = 0;
    while (width < 64 && (value >> width) != 0) ++width;
    for (unsigned shift = 0; shift + width <= bits; ++shift)
        for (unsigned w = std::max(width, 1u); shift + w <= bits; ++w)
            if (((bytes >> shift) & (w == 64 ? ~0ull : (1ull << w) - 1)) == value) return true;
    return false;
}

// The first `length` bytes of a wider big-endian field, the rest reading as 0.
bool CutShort(std::uint64_t value, std::uint64_t bytes, unsigned length) {
    for (unsigned missing = 1; length + missing <= 8; ++missing)
        if (value == bytes << (8 * missing)) return true;
    return false;
}

// The full view writes a value as "dec (hex)" and may follow it with its
// meaning; a derived value starts with "= ", a signed or fixed-point one with
// "-" or a fraction, and neither of those is read back from its bytes.
std::optional<std::uint64_t> LeadingFieldValue(const std::string& text) {
    static const std::regex decHex(R"(^([0-9][0-9,]*) \((0X[0-9A-F]+|0{4,})\)( .*)?$)");
    std::smatch m;
    if (!std::regex_match(text, m, decHex)) return std::nullopt;
    std::string digits = m[1];
    std::erase(digits, ',');
    if (digits.size() > 20) return std::nullopt;
    const std::uint64_t hex = Hex(m[2]);
    if (std::stoull(digits) != hex) return std::nullopt;
    return hex;
}

// The bits of a bit range, as a number.
std::uint64_t RangeBits(const std::vector<std::uint8_t>& bytes, const ByteRange& r) {
    std::uint64_t v = 0;
    for (std::uint64_t i = 0; i < r.bitCount && i < 64; ++i) {
        const std::uint64_t b = r.firstBit + i;
        if (b / 8 >= bytes.size()) break;
        v = v << 1 | ((bytes[b / 8] >> (7 - b % 8)) & 1);
    }
    return v;
}

// The bits of a range as a string of '0' and '1', from its first bit to its last.
std::string BitString(const std::vector<std::uint8_t>& bytes, const ByteRange& r) {
    std::string bits;
    const std::uint64_t first = r.HasBits() ? r.firstBit : 0;
    const std::uint64_t count = r.HasBits() ? r.bitCount : 8 * r.length;
    for (std::uint64_t i = 0; i < count && (first + i) / 8 < bytes.size(); ++i) {
        const std::uint64_t b = first + i;
        bits += ((bytes[b / 8] >> (7 - b % 8)) & 1) ? '1' : '0';
    }
    return bits;
}

// A coded element of the codec layer: ue(v) or se(v) (exp-Golomb), uvlc() or
// leb128() that spans exactly these bits and decodes to value.
bool CodedValue(std::uint64_t value, const std::vector<std::uint8_t>& bytes, const ByteRange& r) {
    const std::string bits = BitString(bytes, r);
    const std::size_t zeros = bits.find('1');
    if (zeros != std::string::npos && zeros < 33 && bits.size() == 2 * zeros + 1) {
        const std::uint64_t info = zeros == 0 ? 0 : std::stoull(bits.substr(zeros + 1), nullptr, 2);
        const std::uint64_t k = (std::uint64_t{1} << zeros) - 1 + info;
        if (k == value || (k + 1) / 2 == value) return true;  // ue, or a positive se
    }
    if (!r.HasBits() && r.length <= 8) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            v |= std::uint64_t{bytes[i] & 0x7Fu} << (7 * i);
            if (((bytes[i] & 0x80) == 0) != (i + 1 == bytes.size())) return false;
        }
        return v == value;
    }
    return false;
}

// The value of a field read from a NAL unit whose bytes held an emulation-
// prevention byte (0x03 after two zeros): its range spans that byte, which is
// not part of the value. The two bytes before the range decide the first one.
std::optional<std::string> BitsWithoutEmulationPrevention(FileSource& file, const ByteRange& r) {
    const std::uint64_t before = std::min<std::uint64_t>(r.offset, 2);
    std::vector<std::uint8_t> window(static_cast<std::size_t>(before + r.length));
    if (window.size() > FileSource::kMaxSmallRead) return std::nullopt;
    file.ReadSmall(r.offset - before, window.data(), window.size());
    std::vector<bool> removed(window.size(), false);
    bool any = false;
    for (std::size_t k = 2, zeros = 0; k < window.size(); ++k) {
        zeros = 0;
        if (window[k - 2] == 0 && window[k - 1] == 0 && !removed[k - 1] && !removed[k - 2]) zeros = 2;
        if (zeros == 2 && window[k] == 3 && k >= before) {
            removed[k] = true;
            any = true;
        }
    }
    if (!any) return std::nullopt;
    std::string bits;
    const std::uint64_t first = r.HasBits() ? r.firstBit : 0;
    const std::uint64_t count = r.HasBits() ? r.bitCount : 8 * r.length;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t b = first + i;
        const std::size_t byte = static_cast<std::size_t>(before + b / 8);
        if (byte >= window.size()) break;
        if (removed[byte]) continue;
        bits += ((window[byte] >> (7 - b % 8)) & 1) ? '1' : '0';
    }
    return bits;
}

bool MatchesBits(std::uint64_t value, const std::string& bits) {
    if (bits.empty() || bits.size() > 64) return false;
    if (std::stoull(bits, nullptr, 2) == value) return true;
    const std::size_t zeros = bits.find('1');
    if (zeros == std::string::npos || zeros >= 33 || bits.size() != 2 * zeros + 1) return false;
    const std::uint64_t info = zeros == 0 ? 0 : std::stoull(bits.substr(zeros + 1), nullptr, 2);
    const std::uint64_t k = (std::uint64_t{1} << zeros) - 1 + info;
    return k == value || (k + 1) / 2 == value;
}

// A full-view line that says where its value comes from, or is no value.
bool FullViewExempt(const std::string& line, const Value& v) {
    return line.rfind("(", 0) == 0 || v.text.rfind("= ", 0) == 0 || v.text.find("(from ") != std::string::npos ||
           v.text.find("in the initialisation segment)") != std::string::npos ||
           // A run sample placed in the file and in time; a run of empty records has no bytes of its own.
           v.text.rfind("track sample #", 0) == 0;
}

// A run sample's value taken from a default of another box: its bytes are that box's.
bool InheritedDefault(const Value& v) {
    return v.text.find("(tfhd default)") != std::string::npos || v.text.find("(trex default)") != std::string::npos ||
           v.text.find("(tenc default") != std::string::npos || v.text.find("(seig default") != std::string::npos ||
           v.text.find("(PIFF track encryption default") != std::string::npos;
}

}  // namespace

std::vector<std::string> CheckPaneRanges(const Document& doc, const std::string& where) {
    std::vector<std::string> failures;
    const bool iso = doc.FileKind() & kFileKindIso;
    FileSource file(doc.FilePath());
    const std::uint64_t fileSize = doc.FileSize();
    const Pane& pane = doc.BoxDescriptionPane();
    const bool fullView = doc.Full() != nullptr || doc.AviFull() != nullptr;
    // RIFF numbers are little-endian.
    const bool littleEndian = doc.AviFull() != nullptr;
    std::optional<ByteRange> box;
    if (doc.Full() && doc.ClickedNode() >= 1) {
        const full::FullRecord& rec = doc.Full()->records[static_cast<std::size_t>(doc.ClickedNode() - 1)];
        box = ByteRange{rec.offset, rec.extent};
    }
    if (doc.AviFull() && doc.ClickedNode() >= 1) {
        const full::AviFullRecord& rec = doc.AviFull()->records[static_cast<std::size_t>(doc.ClickedNode() - 1)];
        box = ByteRange{rec.offset, rec.extent};
    }
    // An item's own fields (a grid's, XMP's lines) lie where iloc puts them, outside the infe clicked.
    bool inItemData = false;
    for (std::size_t i = 0; i < pane.Lines().size(); ++i) {
        const std::string& line = pane.Lines()[i];
        const ByteRange r = pane.RangeOf(i);
        const Value v = Split(line);
        inItemData = inItemData || v.label == "item data";
        const auto fail = [&](const std::string& why) {
            failures.push_back(where + " line " + std::to_string(i) + ": " + why + ": " + line);
        };
        if (fullView) {
            const bool exempt = FullViewExempt(line, v);
            if (r.Empty()) {
                if (!exempt && ShowsValue(line, v) && !IsComputed(v.label, iso) && !ShowsZero(v.text)) fail("no range");
                continue;
            }
            if (r.offset > fileSize || r.length > fileSize - r.offset) {
                fail("range past the end of the file");
                continue;
            }
            if (r.HasBits() && (r.firstBit > 7 || (r.firstBit + r.bitCount + 7) / 8 != r.length)) {
                fail("bits that do not fit their bytes");
                continue;
            }
            if (box && !exempt && !inItemData && !InheritedDefault(v) && (r.offset < box->offset || r.End() > box->End())) {
                fail("range outside the clicked box");
                continue;
            }
            const std::optional<std::uint64_t> value = exempt ? std::nullopt : LeadingFieldValue(v.text);
            if (!value || (!r.HasBits() && r.length > 8) || (r.HasBits() && r.bitCount > 64)) continue;
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(r.length));
            file.ReadSmall(r.offset, bytes.data(), bytes.size());
            std::uint64_t number = 0;
            if (r.HasBits()) number = RangeBits(bytes, r);
            else if (littleEndian)
                for (std::size_t k = bytes.size(); k-- > 0;) number = number << 8 | bytes[k];
            else
                for (const std::uint8_t b : bytes) number = number << 8 | b;
            if (*value != number && !CodedValue(*value, bytes, r)) {
                const std::optional<std::string> stripped = BitsWithoutEmulationPrevention(file, r);
                if (stripped && MatchesBits(*value, *stripped)) continue;
            }
            if (*value != number && !CodedValue(*value, bytes, r))
                fail("shows " + std::to_string(*value) + ", its " + (r.HasBits() ? "bits hold " : "bytes hold ") +
                     std::to_string(number));
            continue;
        }
        if (r.Empty()) {
            if (ShowsValue(line, v) && !IsComputed(v.label, iso) && !ShowsZero(v.text)) fail("no range");
            continue;
        }
        if (r.offset > fileSize || r.length > fileSize - r.offset) {
            fail("range past the end of the file");
            continue;
        }
        const std::optional<std::uint64_t> value = WholeFieldValue(v.text);
        if (!value) continue;
        if (r.length > 8) {
            fail("one field, but " + std::to_string(r.length) + " bytes");
            continue;
        }
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(r.length));
        file.ReadSmall(r.offset, bytes.data(), bytes.size());
        std::uint64_t number = 0;
        for (std::size_t k = 0; k < bytes.size(); ++k)
            number = iso ? number << 8 | bytes[k] : number | std::uint64_t{bytes[k]} << (8 * k);
        if (*value == number) continue;
        // A four-character code that is not text shows in hexadecimal, in file order.
        if (!iso && r.length == 4 && *value == (std::uint64_t{bytes[0]} << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3]))
            continue;
        // ... or its first bytes, when the chunk ends inside it.
        if (!iso && r.length < 4) {
            std::uint64_t code = 0;
            for (std::size_t k = 0; k < 4; ++k) code = code << 8 | (k < bytes.size() ? bytes[k] : 0);
            if (*value == code) continue;
        }
        // Bits and descriptor lengths read from these bytes, on the ISO side; or
        // a big-endian field cut short by the end of its box, read as its first bytes.
        if (iso && (ExpandableLength(bytes) == *value || IsBitField(*value, number, static_cast<unsigned>(8 * r.length)) ||
                    CutShort(*value, number, static_cast<unsigned>(r.length))))
            continue;
        fail("shows " + std::to_string(*value) + ", its bytes hold " + std::to_string(number));
    }
    return failures;
}

std::vector<std::string> CheckDescriptionRanges(Document& doc) {
    std::vector<std::string> failures;
    const bool iso = doc.FileKind() & kFileKindIso;
    const bool avi = doc.FileKind() & kFileKindAvi;
    if (!(avi || (iso && kCheckIsoRanges))) return failures;
    constexpr std::size_t kMaxFailures = 40;
    for (std::size_t node = 1; node < doc.Tree().Count() && failures.size() < kMaxFailures; ++node) {
        doc.TreeView1Click(static_cast<std::int64_t>(node));
        const auto more =
            CheckPaneRanges(doc, "node " + std::to_string(node) + " (" + doc.Tree().Nodes()[node].caption + ")");
        failures.insert(failures.end(), more.begin(), more.end());
    }
    if (failures.size() > kMaxFailures) failures.resize(kMaxFailures);
    return failures;
}

}  // namespace kestrova::test
