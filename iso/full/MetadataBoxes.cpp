// Tags in the full view: the items of ilst (named, or by their key of a
// keys box), their data boxes with the value decoded by its type indicator,
// freeform items' mean and name, QuickTime's udta texts (©xyz as a place),
// chapter lists (chpl) and XMP in a meta's xml box or udta's XMP_.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/Formatters.h"
#include "common/TextBytes.h"
#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

constexpr std::uint32_t F(const char (&s)[5]) { return Fourcc(s); }
// A four-character code whose first character is the copyright sign (0xA9).
constexpr std::uint32_t C(const char (&s)[4]) {
    return 0xA9000000u | std::uint32_t{static_cast<std::uint8_t>(s[0])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(s[1])} << 8 | static_cast<std::uint8_t>(s[2]);
}

// UTF-8 as it is, each byte of an invalid sequence as U+FFFD.
std::string Utf8Text(const std::uint8_t* b, std::size_t n) {
    if (IsUtf8(b, n)) return std::string(reinterpret_cast<const char*>(b), n);
    std::string out;
    std::size_t i = 0;
    while (i < n) {
        std::size_t len = b[i] < 0x80 ? 1 : (b[i] & 0xE0) == 0xC0 ? 2 : (b[i] & 0xF0) == 0xE0 ? 3 : (b[i] & 0xF8) == 0xF0 ? 4 : 0;
        if (len != 0 && i + len <= n && IsUtf8(b + i, len)) {
            out.append(reinterpret_cast<const char*>(b + i), len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

// Mac Roman's upper half, for QuickTime texts in a Macintosh language.
const char* const kMacRoman[128] = {
    "Ä", "Å", "Ç", "É", "Ñ", "Ö", "Ü", "á", "à", "â", "ä", "ã", "å", "ç", "é", "è",
    "ê", "ë", "í", "ì", "î", "ï", "ñ", "ó", "ò", "ô", "ö", "õ", "ú", "ù", "û", "ü",
    "†", "°", "¢", "£", "§", "•", "¶", "ß", "®", "©", "™", "´", "¨", "≠", "Æ", "Ø",
    "∞", "±", "≤", "≥", "¥", "µ", "∂", "∑", "∏", "π", "∫", "ª", "º", "Ω", "æ", "ø",
    "¿", "¡", "¬", "√", "ƒ", "≈", "∆", "«", "»", "…", "\u00A0", "À", "Ã", "Õ", "Œ", "œ",
    "–", "—", "“", "”", "‘", "’", "÷", "◊", "ÿ", "Ÿ", "⁄", "€", "‹", "›", "ﬁ", "ﬂ",
    "‡", "·", "‚", "„", "‰", "Â", "Ê", "Á", "Ë", "È", "Í", "Î", "Ï", "Ì", "Ó", "Ô",
    "\uF8FF", "Ò", "Ú", "Û", "Ù", "ı", "ˆ", "˜", "¯", "˘", "˙", "˚", "¸", "˝", "˛", "ˇ",
};

std::string MacRomanText(const std::uint8_t* b, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (b[i] < 0x80) out += static_cast<char>(b[i]);
        else out += kMacRoman[b[i] - 0x80];
    }
    return out;
}

const char* ItemName(std::uint32_t type) {
    switch (type) {
    case C("nam"): return "title";
    case C("ART"): return "artist";
    case F("aART"): return "album artist";
    case C("alb"): return "album";
    case C("day"): return "date";
    case C("gen"): return "genre";
    case F("gnre"): return "genre (ID3v1 number plus one)";
    case C("wrt"): return "composer";
    case C("cmt"): return "comment";
    case C("too"): return "encoding tool";
    case C("lyr"): return "lyrics";
    case C("grp"): return "grouping";
    case C("des"): return "description";
    case C("enc"): return "encoded by";
    case F("trkn"): return "track number";
    case F("disk"): return "disc number";
    case F("tmpo"): return "tempo (beats per minute)";
    case F("cpil"): return "part of a compilation";
    case F("pgap"): return "gapless playback";
    case F("rtng"): return "content rating";
    case F("stik"): return "media kind";
    case F("desc"): return "description";
    case F("ldes"): return "long description";
    case F("tvsh"): return "TV show";
    case F("tvsn"): return "TV season";
    case F("tves"): return "TV episode";
    case F("tven"): return "TV episode ID";
    case F("tvnn"): return "TV network";
    case F("purl"): return "podcast URL";
    case F("pcst"): return "podcast";
    case F("keyw"): return "keywords";
    case F("catg"): return "category";
    case F("hdvd"): return "HD video";
    case F("sonm"): return "sort title";
    case F("soar"): return "sort artist";
    case F("soaa"): return "sort album artist";
    case F("soal"): return "sort album";
    case F("soco"): return "sort composer";
    case F("sosn"): return "sort show";
    case F("covr"): return "cover art";
    case F("apID"): return "account";
    case F("cnID"): return "catalogue ID";
    case F("atID"): return "artist ID";
    case F("plID"): return "playlist ID";
    case F("geID"): return "genre ID";
    case F("sfID"): return "storefront ID";
    case F("cmID"): return "composer ID";
    case F("cprt"): return "copyright";
    case F("----"): return "freeform (mean, name and data)";
    default: return "";
    }
}

const char* const kGenres[] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel",
    "Noise", "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock",
    "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream",
    "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle",
    "Native American", "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock",
    "National Folk", "Swing", "Fast Fusion", "Bebop", "Latin", "Revival", "Celtic", "Bluegrass", "Avantgarde",
    "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band", "Chorus",
    "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony",
    "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A Capella", "Euro-House",
    "Dance Hall",
};

const char* TypeIndicatorName(std::uint32_t t) {
    switch (t) {
    case 0: return "implicit (by the item)";
    case 1: return "UTF-8";
    case 2: return "UTF-16";
    case 3: return "Shift-JIS";
    case 4: return "UTF-8 sort";
    case 5: return "UTF-16 sort";
    case 13: return "JPEG";
    case 14: return "PNG";
    case 21: return "signed big-endian integer";
    case 22: return "unsigned big-endian integer";
    case 23: return "big-endian float32";
    case 24: return "big-endian float64";
    case 27: return "BMP";
    case 28: return "QuickTime metadata box";
    case 65: return "signed 8-bit integer";
    case 66: return "signed big-endian 16-bit integer";
    case 67: return "signed big-endian 32-bit integer";
    case 70: return "big-endian float32 point";
    case 71: return "big-endian float32 dimensions";
    case 72: return "big-endian float32 rectangle";
    case 74: return "signed big-endian 64-bit integer";
    case 75: return "unsigned 8-bit integer";
    case 76: return "unsigned big-endian 16-bit integer";
    case 77: return "unsigned big-endian 32-bit integer";
    case 78: return "unsigned big-endian 64-bit integer";
    default: return "";
    }
}

// The key names of the keys box of the meta holding this ilst item; nullptr when none.
const std::vector<std::string>* KeysOf(const BoxContext& c) {
    if (c.parentRecord == nullptr || c.parentRecord->parent < 0) return nullptr;
    for (const auto& [meta, names] : c.parse.keys)
        if (meta == c.parentRecord->parent) return &names;
    return nullptr;
}

void DescribeIlstItem(Fields& f, const BoxContext& c) {
    const std::uint32_t type = c.record.type;
    if (const auto* keys = KeysOf(c)) {
        if (type >= 1 && type <= keys->size()) f.Heading("(key #" + std::to_string(type) + ": " + (*keys)[type - 1] + ")");
        else f.Heading("(key #" + std::to_string(type) + ": the keys box has no such key)");
        return;
    }
    const char* name = ItemName(type);
    if (*name != 0) f.Heading(std::string("(") + name + ")");
}

// The item a data box belongs to, as its type: the data's parent.
std::uint32_t ItemType(const BoxContext& c) { return c.ParentType(); }

void IntegerValue(Fields& f, std::string_view label, std::uint64_t n, bool isSigned) {
    if (n == 1 || n == 2 || n == 3 || n == 4 || n == 8) {
        if (isSigned) f.S(label, static_cast<unsigned>(n));
        else f.U(label, static_cast<unsigned>(n));
    } else {
        f.Bytes(label, n);
        f.Meaning("(an integer is 1, 2, 3, 4 or 8 bytes)");
    }
}

void FloatValue(Fields& f, std::string_view label, unsigned bytes) {
    if (!f.Has(bytes)) return f.Bytes(label, bytes);
    const std::uint64_t pos = f.Pos();
    const std::uint64_t raw = f.Peek(pos, bytes);
    char text[64];
    if (bytes == 4) {
        float v;
        const auto r32 = static_cast<std::uint32_t>(raw);
        std::memcpy(&v, &r32, 4);
        std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    } else {
        double v;
        std::memcpy(&v, &raw, 8);
        std::snprintf(text, sizeof text, "%g", v);
    }
    f.Value(label, text, f.Range(pos, bytes));
    f.Seek(pos + bytes);
}

// An item whose type indicator is implicit: what the item is says how to read it.
void ImplicitValue(Fields& f, std::uint32_t item) {
    const std::uint64_t n = f.Left();
    if (item == F("trkn") || item == F("disk")) {
        const std::uint64_t pos = f.Pos();
        f.U("reserved", 2);
        const auto number = f.U("number", 2);
        const auto total = f.U("total", 2);
        if (number && total)
            f.Derived("reads", std::to_string(*number) + " of " + std::to_string(*total), f.Range(pos + 2, 4));
        f.Trailing();
        return;
    }
    if (item == F("gnre") && n == 2) {
        if (const auto v = f.U("genre", 2)) {
            const std::uint64_t k = *v - 1;
            if (*v >= 1 && k < std::size(kGenres)) f.Meaning(kGenres[k]);
            else f.Meaning("(no ID3v1 genre of this number)");
        }
        return;
    }
    if (n == 1 || n == 2 || n == 4 || n == 8) return IntegerValue(f, "value", n, false);
    f.Rest("value");
}

void DescribeData(Fields& f, const BoxContext& c) {
    const auto set = f.U("type_set", 1);
    const auto indicator = f.U("type_indicator", 3);
    if (indicator) f.Meaning(TypeIndicatorName(static_cast<std::uint32_t>(*indicator)));
    const auto country = f.U("country", 2);
    const auto language = f.U("language", 2);
    if (country && language && (*country | *language) == 0) f.Meaning("(any locale)");
    if (!set || !indicator || f.Cut() || f.Left() == 0) return;
    const std::uint64_t pos = f.Pos(), n = f.Left();
    const auto* bytes = f.Body().data() + pos;
    switch (*indicator) {
    case 1:
    case 4: {
        // Some writers pad a text with zeros; the text ends at the first.
        const auto* zero = static_cast<const std::uint8_t*>(std::memchr(bytes, 0, n));
        const std::uint64_t k = zero != nullptr ? static_cast<std::uint64_t>(zero - bytes) : n;
        std::string text = "\"" + Utf8Text(bytes, k) + "\"";
        if (k < n) text += " (then " + GroupedText(n - k, f.Settings()) + " bytes from a zero on)";
        f.Value("value", text, f.Range(pos, n));
        f.Seek(pos + n);
        return;
    }
    case 2:
    case 5:
        f.Value("value", "\"" + TextFromUtf16(bytes, n, true) + "\"", f.Range(pos, n));
        f.Seek(pos + n);
        return;
    case 13:
    case 14:
    case 27:
        f.Derived("picture", std::string(TypeIndicatorName(static_cast<std::uint32_t>(*indicator))) + ", " +
                                 GroupedText(n, f.Settings()) + " bytes",
                  f.Range(pos, n));
        f.Seek(pos + n);
        return;
    case 21:
    case 65:
    case 66:
    case 67:
    case 74: return IntegerValue(f, "value", n, true);
    case 22:
    case 75:
    case 76:
    case 77:
    case 78: return IntegerValue(f, "value", n, false);
    case 23: return FloatValue(f, "value", 4);
    case 24: return FloatValue(f, "value", 8);
    case 0: return ImplicitValue(f, ItemType(c));
    default: f.Rest("value");
    }
}

// A freeform item's mean or name: a full box and its text.
void DescribeMeanOrName(Fields& f, const BoxContext& c) {
    f.VersionFlags();
    if (f.Cut()) return;
    const std::uint64_t pos = f.Pos(), n = f.Left();
    f.Value(c.record.type == F("mean") ? "meaning" : "name", "\"" + Utf8Text(f.Body().data() + pos, n) + "\"", f.Range(pos, n));
    f.Seek(pos + n);
}

void DescribeKeys(Fields& f, const BoxContext&) {
    f.VersionFlags();
    const auto count = f.U("entry_count", 4);
    for (std::uint64_t i = 0; count && i < *count && !f.Cut(); ++i) {
        if (f.Left() == 0) {
            f.MarkCut("key #" + std::to_string(i + 1), 8);
            break;
        }
        f.Heading("key #" + std::to_string(i + 1));
        const auto size = f.U("key_size", 4);
        f.Type("key_namespace");
        if (!size || f.Cut()) break;
        if (*size < 8) {
            f.Heading("(key_size is below 8)");
            break;
        }
        const std::uint64_t pos = f.Pos(), n = std::min<std::uint64_t>(*size - 8, f.Left());
        f.Value("key_value", "\"" + Utf8Text(f.Body().data() + pos, n) + "\"", f.Range(pos, n));
        f.Seek(pos + n);
    }
    f.Trailing();
}

// ISO 6709 "+37.3318-122.0312+010.000/": latitude, longitude, then altitude when there.
std::string Iso6709Text(const std::string& s) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] != '+' && s[i] != '-') break;
        std::size_t j = i + 1;
        while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
        parts.push_back(s.substr(i, j - i));
        i = j;
    }
    if (parts.size() < 2) return "";
    const auto degrees = [](const std::string& p) { return std::strtod(p.c_str(), nullptr); };
    char text[160];
    std::snprintf(text, sizeof text, "latitude %.4f, longitude %.4f", degrees(parts[0]), degrees(parts[1]));
    std::string out = text;
    if (parts.size() >= 3) {
        std::snprintf(text, sizeof text, ", altitude %.1f m", degrees(parts[2]));
        out += text;
    }
    return out;
}

// QuickTime's user data texts: each a 16-bit length, a language and the text.
void DescribeUdtaText(Fields& f, const BoxContext& c) {
    for (int i = 0; f.Left() >= 4 && i < 10000; ++i) {
        const auto length = f.U("text_length", 2);
        const auto language = f.Language("language");
        if (!length || !language || f.Cut()) return;
        const std::uint64_t pos = f.Pos(), n = std::min<std::uint64_t>(*length, f.Left());
        const auto* b = f.Body().data() + pos;
        // Below 0x400 a Macintosh language, whose text is Mac Roman.
        const std::string text = *language < 0x400 ? MacRomanText(b, n) : Utf8Text(b, n);
        f.Value("text", "\"" + text + "\"", f.Range(pos, n));
        f.Seek(pos + n);
        if (c.record.type == C("xyz")) {
            const std::string place = Iso6709Text(text);
            if (!place.empty()) f.Derived("place", place, f.Range(pos, n));
        }
    }
    f.Trailing();
}

// Nero's chapter list: start times in 100 ns units and Pascal titles.
void DescribeChpl(Fields& f, const BoxContext&) {
    const std::uint8_t version = f.VersionFlags().first;
    if (version == 1) f.U("reserved", 4);
    const auto count = f.U("chapter_count", 1);
    const RegionalSettings& rs = f.Settings();
    for (std::uint64_t i = 0; count && i < *count && !f.Cut(); ++i) {
        if (!f.Has(9)) {
            f.MarkCut("chapter #" + std::to_string(i + 1), 9);
            break;
        }
        const std::uint64_t pos = f.Pos();
        const std::uint64_t start = f.Peek(pos, 8);
        const std::uint64_t n = std::min<std::uint64_t>(f.Peek(pos + 8, 1), f.Left() - 9);
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%.3f s", static_cast<double>(start) / 1e7);
        std::string& s = f.Scratch();
        s.assign("   chapter ");
        AppendEntryNumber(s, static_cast<std::int64_t>(i));
        s += "start " + GroupedText(start, rs) + " (" + seconds + "), title \"" +
             Utf8Text(f.Body().data() + pos + 9, n) + "\"";
        f.Raw(std::string(s), f.Range(pos, 9 + n));
        f.Seek(pos + 9 + n);
    }
    f.Trailing();
}

void DescribeXml(Fields& f, const BoxContext& c) {
    f.VersionFlags();
    DescribeTextLines(f, c);
}

// ---- ID3v2 in an ID32 box ----

std::string Latin1Text(const std::uint8_t* b, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        if (b[i] < 0x80) {
            out += static_cast<char>(b[i]);
        } else {
            out += static_cast<char>(0xC0 | (b[i] >> 6));
            out += static_cast<char>(0x80 | (b[i] & 0x3F));
        }
    }
    return out;
}

// One string of a text frame in its encoding (ID3v2.4 4.2): 0 ISO-8859-1,
// 1 UTF-16 with a byte order mark, 2 UTF-16BE, 3 UTF-8.
std::string Id3String(std::uint8_t encoding, const std::uint8_t* b, std::size_t n) {
    switch (encoding) {
    case 0: return Latin1Text(b, n);
    case 1:
        if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) return TextFromUtf16(b + 2, n - 2, false);
        if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) return TextFromUtf16(b + 2, n - 2, true);
        return TextFromUtf16(b, n, true);
    case 2: return TextFromUtf16(b, n, true);
    default: return Utf8Text(b, n);
    }
}

// The strings of a text frame, split at their terminators (one zero byte, two in UTF-16).
std::vector<std::string> Id3Strings(std::uint8_t encoding, const std::uint8_t* b, std::size_t n) {
    std::vector<std::string> out;
    const bool wide = encoding == 1 || encoding == 2;
    std::size_t start = 0, i = 0;
    while (i < n) {
        const bool end = wide ? i + 1 < n && b[i] == 0 && b[i + 1] == 0 : b[i] == 0;
        if (end) {
            out.push_back(Id3String(encoding, b + start, i - start));
            i += wide ? 2 : 1;
            start = i;
        } else {
            i += wide ? 2 : 1;
        }
    }
    if (start < n) out.push_back(Id3String(encoding, b + start, std::min(i, n) - start));
    return out;
}

const char* Id3FrameName(const std::string& id) {
    static const std::pair<const char*, const char*> kNames[] = {
        {"TIT1", "content group"}, {"TIT2", "title"}, {"TIT3", "subtitle"}, {"TPE1", "lead performer"},
        {"TPE2", "band"}, {"TPE3", "conductor"}, {"TPE4", "remixed by"}, {"TALB", "album"}, {"TRCK", "track number"},
        {"TPOS", "part of a set"}, {"TCON", "content type"}, {"TCOM", "composer"}, {"TEXT", "lyricist"},
        {"TYER", "year"}, {"TDRC", "recording time"}, {"TDRL", "release time"}, {"TCOP", "copyright"},
        {"TENC", "encoded by"}, {"TSSE", "encoder settings"}, {"TLEN", "length (ms)"}, {"TLAN", "language"},
        {"TBPM", "beats per minute"}, {"TKEY", "initial key"}, {"TPUB", "publisher"}, {"TSRC", "ISRC"},
        {"TXXX", "user text"}, {"COMM", "comment"}, {"USLT", "lyrics"}, {"APIC", "attached picture"},
        {"PRIV", "private"}, {"GEOB", "encapsulated object"}, {"WXXX", "user URL"}, {"UFID", "unique file identifier"},
        {"PCNT", "play counter"}, {"POPM", "popularimeter"}, {"CHAP", "chapter"}, {"CTOC", "table of contents"},
    };
    for (const auto& [code, name] : kNames)
        if (id == code) return name;
    return "";
}

std::uint64_t Syncsafe(std::uint64_t v) {
    return ((v >> 24) & 0x7F) << 21 | ((v >> 16) & 0x7F) << 14 | ((v >> 8) & 0x7F) << 7 | (v & 0x7F);
}

// A text frame's encoding and strings; TXXX's first string is its description.
void Id3TextFrame(Fields& f, const std::string& id, std::uint64_t pos, std::uint64_t n) {
    static constexpr const char* kEncodings[] = {"ISO-8859-1", "UTF-16 with a byte order mark", "UTF-16BE", "UTF-8"};
    const auto encoding = f.U("text encoding", 1);
    if (!encoding) return;
    if (*encoding < 4) f.Meaning(kEncodings[*encoding]);
    const std::vector<std::string> strings =
        Id3Strings(static_cast<std::uint8_t>(*encoding), f.Body().data() + pos + 1, static_cast<std::size_t>(n - 1));
    std::string text;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (i == 0 && id == "TXXX") continue;
        text += (text.empty() ? "\"" : " / \"") + strings[i] + "\"";
    }
    if (id == "TXXX") f.Value("description", "\"" + (strings.empty() ? std::string() : strings[0]) + "\"", f.Range(pos + 1, n - 1));
    f.Value(id[0] == 'W' ? "URL" : "information", text.empty() ? "\"\"" : text, f.Range(pos + 1, n - 1));
    f.Seek(pos + n);
}

void DescribeId32(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.Language("language");
    if (f.Cut() || f.Left() < 10) return f.Trailing();
    const std::uint64_t start = f.Pos();
    const auto* b = f.Body().data() + start;
    if (b[0] != 'I' || b[1] != 'D' || b[2] != '3') {
        f.Heading("(no ID3v2 header: the data does not start with \"ID3\")");
        return f.Rest("data");
    }
    f.FixedString("ID3v2 file identifier", 3);
    const auto major = f.U("ID3v2 version", 1);
    f.Meaning(major ? "(ID3v2." + std::to_string(*major) + ")" : "");
    f.U("ID3v2 revision", 1);
    const auto flags = f.U("ID3v2 flags", 1).value_or(0);
    std::string set;
    static constexpr std::pair<unsigned, const char*> kFlags[] = {
        {0x80, "unsynchronisation"}, {0x40, "extended header"}, {0x20, "experimental"}, {0x10, "footer present"}};
    for (const auto& [bit, name] : kFlags)
        if (flags & bit) set += (set.empty() ? "(" : ", ") + std::string(name);
    if (!set.empty()) f.Meaning(set + ")");
    const std::uint64_t sizePos = f.Pos();
    const auto raw = f.U("ID3v2 size", 4);
    if (!raw) return;
    const std::uint64_t size = Syncsafe(*raw);
    f.Derived("tag size", GroupedText(size, f.Settings()) + " bytes after the header (syncsafe)", f.Range(sizePos, 4));
    const std::uint64_t end = std::min<std::uint64_t>(f.Pos() + size, f.Size());
    const unsigned version = static_cast<unsigned>(major.value_or(4));
    if (flags & 0x40) {
        const std::uint64_t extPos = f.Pos();
        const auto extRaw = f.U("extended header size", 4);
        if (!extRaw) return;
        // ID3v2.4 counts the size field in its (syncsafe) size; ID3v2.3 does not.
        const std::uint64_t ext = version >= 4 ? Syncsafe(*extRaw) : *extRaw + 4;
        if (ext < 4 || extPos + ext > end) return f.Heading("(the extended header is larger than the tag)");
        if (ext > 4) f.Bytes("extended header", ext - 4);
    }
    if (flags & 0x80) f.Heading("(the tag is unsynchronised: frames are shown as stored)");
    const unsigned idBytes = version <= 2 ? 3 : 4, sizeBytes = version <= 2 ? 3 : 4, flagBytes = version <= 2 ? 0 : 2;
    const unsigned headerBytes = idBytes + sizeBytes + flagBytes;
    for (int frame = 1; f.Pos() < end && frame <= 100000; ++frame) {
        const std::uint64_t pos = f.Pos();
        if (f.Body()[pos] == 0) {
            f.Derived("padding", GroupedText(end - pos, f.Settings()) + " bytes", f.Range(pos, end - pos));
            f.Seek(end);
            break;
        }
        if (pos + headerBytes > end) break;
        const std::string id(reinterpret_cast<const char*>(f.Body().data() + pos), idBytes);
        f.Heading("frame #" + std::to_string(frame));
        f.FixedString("frame ID", idBytes);
        if (const char* name = Id3FrameName(id); *name != 0) f.Meaning(std::string("(") + name + ")");
        const auto frameRaw = f.U("size", sizeBytes);
        if (!frameRaw) return;
        const std::uint64_t frameSize = version >= 4 ? Syncsafe(*frameRaw) : *frameRaw;
        if (flagBytes) f.U("flags", flagBytes);
        const std::uint64_t body = f.Pos();
        if (frameSize > end - body) {
            f.Heading("(the frame is larger than what is left of the tag)");
            f.Seek(end);
            break;
        }
        if (frameSize == 0) continue;
        const bool text = id[0] == 'T' || (id[0] == 'W' && id == "WXXX");
        if (text) Id3TextFrame(f, id, body, frameSize);
        else if (id[0] == 'W') f.FixedString("URL", frameSize);
        else f.Bytes("frame data", frameSize);
    }
    if (f.Pos() < end) f.Bytes("rest of the tag", end - f.Pos());
    f.Trailing();
}

// A 3GPP thumbnail in udta: after the full box, four bytes of its format, then the picture.
void DescribeThmb(Fields& f, const BoxContext&) {
    f.VersionFlags();
    f.U("format", 4);
    if (f.Cut() || f.Left() == 0) return;
    const std::uint64_t pos = f.Pos(), n = f.Left();
    const auto* b = f.Body().data() + pos;
    const char* kind = n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF ? "JPEG"
                       : n >= 8 && std::memcmp(b, "\x89PNG\r\n\x1A\n", 8) == 0 ? "PNG"
                       : n >= 2 && b[0] == 'B' && b[1] == 'M'                      ? "BMP"
                       : n >= 4 && std::memcmp(b, "GIF8", 4) == 0                  ? "GIF"
                                                                                    : nullptr;
    if (kind == nullptr) return f.Rest("data");
    f.Derived("picture", std::string(kind) + ", " + GroupedText(n, f.Settings()) + " bytes", f.Range(pos, n));
    f.Seek(pos + n);
}

constexpr BoxRule Leaf(std::uint32_t parent, std::uint32_t type, DescribeFn describe) {
    return {parent, type, BoxKind::Leaf, EntryLayout::None, describe};
}

constexpr BoxRule kRules[] = {
    // Every item of an ilst, whatever its type (a key index under mdta).
    {F("ilst"), kAnyIlstItem, BoxKind::Container, EntryLayout::None, DescribeIlstItem},
    Leaf(0, F("data"), DescribeData),
    Leaf(F("----"), F("mean"), DescribeMeanOrName),
    Leaf(F("----"), F("name"), DescribeMeanOrName),
    Leaf(F("meta"), F("keys"), DescribeKeys),
    Leaf(F("udta"), kAnyUdtaText, DescribeUdtaText),
    Leaf(F("udta"), F("chpl"), DescribeChpl),
    Leaf(F("udta"), F("XMP_"), DescribeTextLines),
    Leaf(F("meta"), F("xml "), DescribeXml),
    Leaf(F("meta"), F("ID32"), DescribeId32),
    Leaf(F("udta"), F("thmb"), DescribeThmb),
};

}  // namespace

std::span<const BoxRule> MetadataBoxRules() { return kRules; }

}  // namespace kestrova::full
