#include "iso/full/Fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/Formatters.h"
#include "common/TextBytes.h"

namespace kestrova::full {
namespace {

int HexWidth(unsigned bytes) { return 2 + 2 * static_cast<int>(std::clamp(bytes, 1u, 8u)); }

std::uint64_t Mask(unsigned bits) { return bits >= 64 ? ~0ull : (1ull << bits) - 1; }

}  // namespace

Fields::Fields(DocumentView& view, const BoxBytes& box)
    : view_(view), rs_(view.Settings()), body_(box.body), bodyOffset_(box.bodyOffset), declared_(box.declaredBodyLength) {}

std::uint64_t Fields::Peek(std::uint64_t pos, unsigned bytes) const {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < bytes; ++i) v = v << 8 | (pos + i < body_.size() ? body_[pos + i] : 0);
    return v;
}

std::uint64_t Fields::PeekNumber(std::uint64_t pos, unsigned bytes) const {
    if (!littleEndian_) return Peek(pos, bytes);
    std::uint64_t v = 0;
    for (unsigned i = bytes; i-- > 0;) v = v << 8 | (pos + i < body_.size() ? body_[pos + i] : 0);
    return v;
}

ByteRange Fields::Range(std::uint64_t pos, std::uint64_t len) const {
    if (len == 0 || pos >= body_.size()) return {};
    return {bodyOffset_ + pos, std::min<std::uint64_t>(len, body_.size() - pos)};
}

ByteRange Fields::BitRange(std::uint64_t bitPos, std::uint64_t bits) const {
    if (bits == 0 || bitPos / 8 >= body_.size()) return {};
    const std::uint64_t total = std::uint64_t{body_.size()} * 8;
    bits = std::min(bits, total - bitPos);
    return ByteRange::Bits(bodyOffset_ * 8 + bitPos, bits);
}

void Fields::AppendNumber(std::string& out, std::uint64_t v, unsigned bytes) const {
    AppendDecHex(out, v, HexWidth(bytes), rs_);
}

std::string Fields::Number(std::uint64_t v, unsigned bytes) const {
    std::string out;
    AppendNumber(out, v, bytes);
    return out;
}

std::string Fields::SignedNumber(std::int64_t v, std::uint64_t raw, unsigned bytes) const {
    std::string out = v < 0 ? "-" + GroupedText(static_cast<std::uint64_t>(-(v + 1)) + 1, rs_) : GroupedText(static_cast<std::uint64_t>(v), rs_);
    out += " (";
    out += bytes >= 8 ? "0X" + std::string(16 - std::min<std::size_t>(16, UpperHexText(raw).size()), '0') + UpperHexText(raw)
                      : std::string();
    if (bytes < 8) {
        // Always the field's full width, so a negative value shows its sign bits.
        const std::string hex = UpperHexText(raw & Mask(8 * bytes));
        out += "0X" + std::string(2 * bytes > hex.size() ? 2 * bytes - hex.size() : 0, '0') + hex;
    }
    out += ')';
    return out;
}

void Fields::MarkCut(std::string_view label, std::uint64_t needBytes) {
    if (cut_) return;
    cut_ = true;
    std::string text = "(the box ends at offset " + GroupedText(bodyOffset_ + body_.size(), rs_) + ": ";
    text += label.empty() ? std::string("the next field") : std::string(label);
    text += " needs " + GroupedText(needBytes, rs_) + (needBytes == 1 ? " byte" : " bytes");
    const std::uint64_t left = Left();
    text += ", " + GroupedText(left, rs_) + (left == 1 ? " is" : " are") + " left";
    if (body_.size() < declared_) text += "; the header says " + GroupedText(declared_, rs_);
    text += ")";
    Heading(std::move(text));
}

bool Fields::Take(std::string_view label, std::uint64_t bytes) {
    if (cut_) return false;
    if (bit_ % 8 != 0 || !Has(bytes)) {
        MarkCut(label, bytes);
        return false;
    }
    return true;
}

void Fields::Add(std::string_view label, std::string text, ByteRange range) {
    items_.push_back({std::string(label), std::move(text), range});
}

std::optional<std::uint64_t> Fields::U(std::string_view label, unsigned bytes) {
    if (!Take(label, bytes)) return std::nullopt;
    const std::uint64_t pos = Pos();
    const std::uint64_t v = PeekNumber(pos, bytes);
    Add(label, Number(v, bytes), Range(pos, bytes));
    bit_ += 8ull * bytes;
    return v;
}

std::optional<std::int64_t> Fields::AsSigned(std::string_view label, unsigned bytes) {
    if (!Take(label, bytes)) return std::nullopt;
    const std::uint64_t pos = Pos();
    const std::uint64_t raw = PeekNumber(pos, bytes);
    const unsigned bits = 8 * bytes;
    const std::int64_t v = bits < 64 && (raw >> (bits - 1)) != 0 ? static_cast<std::int64_t>(raw - (1ull << bits))
                                                                  : static_cast<std::int64_t>(raw);
    Add(label, SignedNumber(v, raw, bytes), Range(pos, bytes));
    bit_ += 8ull * bytes;
    return v;
}

std::optional<std::int64_t> Fields::S(std::string_view label, unsigned bytes) { return AsSigned(label, bytes); }

std::optional<std::uint32_t> Fields::Type(std::string_view label) {
    if (!Take(label, 4)) return std::nullopt;
    const std::uint64_t pos = Pos();
    const auto v = static_cast<std::uint32_t>(Peek(pos, 4));
    Add(label, FourccHexText(v), Range(pos, 4));
    bit_ += 32;
    return v;
}

std::string FixedText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
    return s;
}

std::optional<double> Fields::Fixed(std::string_view label, unsigned bytes, unsigned fracBits, bool isSigned) {
    if (!Take(label, bytes)) return std::nullopt;
    const std::uint64_t pos = Pos();
    const std::uint64_t raw = PeekNumber(pos, bytes);
    const unsigned bits = 8 * bytes;
    double v = static_cast<double>(raw);
    if (isSigned && bits < 64 && (raw >> (bits - 1)) != 0) v -= std::ldexp(1.0, static_cast<int>(bits));
    v = std::ldexp(v, -static_cast<int>(fracBits));
    std::string text = FixedText(v);
    text += " (";
    std::string hex;
    AppendDecHex(hex, raw, HexWidth(bytes), rs_);
    text += hex.substr(hex.find('(') + 1);
    Add(label, std::move(text), Range(pos, bytes));
    bit_ += 8ull * bytes;
    return v;
}

void AppendSigned(std::string& out, std::uint64_t raw, unsigned bytes, const RegionalSettings& rs) {
    const unsigned bits = 8 * bytes;
    const std::uint64_t mask = bits >= 64 ? ~0ull : (1ull << bits) - 1;
    raw &= mask;
    const bool negative = (raw >> (bits - 1)) != 0;
    if (negative) out += '-';
    out += GroupedText(negative ? ((~raw + 1) & mask) : raw, rs);
    out += " (0X";
    static const char* const kHex = "0123456789ABCDEF";
    for (int shift = static_cast<int>(bits) - 4; shift >= 0; shift -= 4) out += kHex[(raw >> shift) & 15];
    out += ')';
}

std::string UtcText1904(std::uint64_t seconds) {
    // Days from 1904-01-01 to the civil date (Howard Hinnant's algorithm, shifted).
    constexpr std::int64_t kDaysFrom1904To1970 = 24107;
    const std::int64_t days = static_cast<std::int64_t>(seconds / 86400) - kDaysFrom1904To1970;
    const std::int64_t secs = static_cast<std::int64_t>(seconds % 86400);
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t y = yoe + era * 400;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld UTC", static_cast<long long>(y),
                  static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(secs / 3600),
                  static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
    return buf;
}

std::optional<std::uint64_t> Fields::Time1904(std::string_view label, unsigned bytes) {
    const auto v = U(label, bytes);
    if (v && *v != 0) Meaning(UtcText1904(*v));
    return v;
}

std::string PackedLanguageText(std::uint16_t packed) {
    std::string code;
    for (int shift = 10; shift >= 0; shift -= 5) {
        const int letter = (packed >> shift) & 31;
        if (letter < 1 || letter > 26) return "";
        code += static_cast<char>(0x60 + letter);
    }
    return code;
}

std::optional<std::uint16_t> Fields::Language(std::string_view label) {
    const auto v = U(label, 2);
    if (!v) return std::nullopt;
    const auto packed = static_cast<std::uint16_t>(*v);
    if (packed < 0x400) {
        Meaning("Macintosh language code " + std::to_string(packed));
    } else {
        const std::string code = PackedLanguageText(packed & 0x7FFF);
        Meaning(code.empty() ? std::string("not a language code") : code);
    }
    return packed;
}

std::optional<std::string> Fields::CString(std::string_view label) {
    if (cut_) return std::nullopt;
    if (bit_ % 8 != 0 || Left() == 0) {
        MarkCut(label, 1);
        return std::nullopt;
    }
    const std::uint64_t pos = Pos();
    std::uint64_t end = pos;
    while (end < body_.size() && body_[end] != 0) ++end;
    const std::uint64_t taken = (end < body_.size() ? end + 1 : end) - pos;
    std::string text = TextFromFileBytes(body_.data() + pos, end - pos);
    Add(label, "\"" + text + "\"", Range(pos, taken));
    bit_ += 8 * taken;
    return text;
}

std::optional<std::string> Fields::FixedString(std::string_view label, std::uint64_t n) {
    if (!Take(label, n)) return std::nullopt;
    const std::uint64_t pos = Pos();
    std::uint64_t end = pos;
    while (end < pos + n && body_[end] != 0) ++end;
    std::string text = TextFromFileBytes(body_.data() + pos, end - pos);
    Add(label, "\"" + text + "\"", Range(pos, n));
    bit_ += 8 * n;
    return text;
}

std::optional<std::string> Fields::PascalString(std::string_view label, std::uint64_t fieldBytes) {
    if (!Take(label, fieldBytes) || fieldBytes == 0) return std::nullopt;
    const std::uint64_t pos = Pos();
    const std::uint64_t len = std::min<std::uint64_t>(body_[pos], fieldBytes - 1);
    std::string text = TextFromFileBytes(body_.data() + pos + 1, len);
    Add(label, "\"" + text + "\"", Range(pos, fieldBytes));
    bit_ += 8 * fieldBytes;
    return text;
}

void Fields::Bytes(std::string_view label, std::uint64_t n) {
    if (n == 0 || !Take(label, n)) return;
    const std::uint64_t pos = Pos();
    constexpr std::uint64_t kShown = 32;
    std::string text;
    static const char* const kHex = "0123456789ABCDEF";
    for (std::uint64_t i = 0; i < std::min(n, kShown); ++i) {
        if (i != 0) text += ' ';
        text += kHex[body_[pos + i] >> 4];
        text += kHex[body_[pos + i] & 15];
    }
    if (n > kShown) text += " ... (" + GroupedText(n, rs_) + " bytes)";
    Add(label, std::move(text), Range(pos, n));
    bit_ += 8 * n;
}

void Fields::Rest(std::string_view label) {
    if (cut_) return;
    AlignToByte();
    Bytes(label, Left());
}

std::pair<std::uint8_t, std::uint32_t> Fields::VersionFlags() {
    const auto version = U("version", 1);
    const auto flags = U("flags", 3);
    return {static_cast<std::uint8_t>(version.value_or(0)), static_cast<std::uint32_t>(flags.value_or(0))};
}

std::optional<std::uint64_t> Fields::Bits(std::string_view label, unsigned n) {
    if (cut_) return std::nullopt;
    if (n == 0 || n > 64) return 0;
    const std::uint64_t total = std::uint64_t{body_.size()} * 8;
    if (bit_ > total || n > total - bit_) {
        MarkCut(label, (n + 7) / 8);
        return std::nullopt;
    }
    std::uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) {
        const std::uint64_t b = bit_ + i;
        v = v << 1 | ((body_[b / 8] >> (7 - b % 8)) & 1);
    }
    Add(label, Number(v, (n + 7) / 8), BitRange(bit_, n));
    bit_ += n;
    return v;
}

void Fields::Meaning(std::string_view text) {
    if (items_.empty() || text.empty()) return;
    items_.back().text += ' ';
    items_.back().text += text;
}

void Fields::Derived(std::string_view label, std::string_view text, ByteRange span) {
    Add(label, "= " + std::string(text), span);
}

void Fields::Value(std::string_view label, std::string text, ByteRange range) { Add(label, std::move(text), range); }

void Fields::Heading(std::string text) { items_.push_back({std::string(), std::move(text), {}}); }

void Fields::Raw(std::string text, ByteRange range) {
    // A long table goes straight to the pane: the fields before it are padded among themselves.
    if (!items_.empty()) Flush();
    view_.AddDescriptionLine(std::move(text), range);
}

void Fields::Flush() {
    std::size_t width = 0;
    for (const Item& item : items_)
        if (!item.label.empty()) width = std::max(width, item.label.size());
    for (Item& item : items_) {
        if (item.label.empty()) {
            view_.AddDescriptionLine(std::move(item.text), item.range);
            continue;
        }
        std::string line;
        line.reserve(width + 3 + item.text.size());
        line += item.label;
        line.append(width - item.label.size(), ' ');
        line += " : ";
        line += item.text;
        view_.AddDescriptionLine(std::move(line), item.range);
    }
    items_.clear();
}

}  // namespace kestrova::full
