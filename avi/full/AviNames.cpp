// Names of the codes an AVI file holds: video fourccs, WAVE format tags, the
// speakers of a channel mask, the sub-formats of WAVE_FORMAT_EXTENSIBLE and
// the INFO list's items.

#include <cstring>
#include <iterator>

#include "avi/DisplayAviInfo.h"
#include "avi/full/AviFull.h"
#include "common/Formatters.h"

namespace kestrova::full {
namespace {

struct Named {
    std::uint32_t code;
    const char* name;
};

// Upper case, file order.
const Named kVideoCodecs[] = {
    {Fourcc("H264"), "H.264/AVC"},        {Fourcc("X264"), "H.264/AVC (x264)"},
    {Fourcc("AVC1"), "H.264/AVC"},        {Fourcc("DAVC"), "H.264/AVC"},
    {Fourcc("HEVC"), "H.265/HEVC"},       {Fourcc("H265"), "H.265/HEVC"},
    {Fourcc("HVC1"), "H.265/HEVC"},       {Fourcc("XVID"), "MPEG-4 Visual (Xvid)"},
    {Fourcc("DIVX"), "MPEG-4 Visual (DivX)"}, {Fourcc("DX50"), "MPEG-4 Visual (DivX 5)"},
    {Fourcc("FMP4"), "MPEG-4 Visual"},    {Fourcc("MP4V"), "MPEG-4 Visual"},
    {Fourcc("DIV3"), "MS MPEG-4 v3 (DivX 3)"}, {Fourcc("MP43"), "MS MPEG-4 v3"},
    {Fourcc("MP42"), "MS MPEG-4 v2"},     {Fourcc("MJPG"), "Motion JPEG"},
    {Fourcc("AVRN"), "Motion JPEG"},      {Fourcc("FFV1"), "FFV1"},
    {Fourcc("VP80"), "VP8"},              {Fourcc("VP90"), "VP9"},
    {Fourcc("AV01"), "AV1"},              {Fourcc("HFYU"), "HuffYUV"},
    {Fourcc("FFVH"), "HuffYUV (FFmpeg)"}, {Fourcc("MPG2"), "MPEG-2 Video"},
    {Fourcc("MPG1"), "MPEG-1 Video"},     {Fourcc("MPEG"), "MPEG Video"},
    {Fourcc("DVSD"), "DV (SD)"},          {Fourcc("DVHD"), "DV (HD)"},
    {Fourcc("DV25"), "DV25"},             {Fourcc("DV50"), "DV50"},
    {Fourcc("CVID"), "Cinepak"},          {Fourcc("MSVC"), "Microsoft Video 1"},
    {Fourcc("WMV1"), "Windows Media Video 7"}, {Fourcc("WMV2"), "Windows Media Video 8"},
    {Fourcc("WMV3"), "Windows Media Video 9"}, {Fourcc("WVC1"), "VC-1"},
    {Fourcc("THEO"), "Theora"},           {Fourcc("SNOW"), "Snow"},
    {Fourcc("PNG1"), "PNG"},              {Fourcc("MPNG"), "PNG"},
    {Fourcc("UTVD"), "Ut Video"},         {Fourcc("ULRG"), "Ut Video"},
    {Fourcc("MAGY"), "MagicYUV"},         {Fourcc("LAGS"), "Lagarith"},
    {Fourcc("CFHD"), "CineForm"},         {Fourcc("APCN"), "ProRes"},
    {Fourcc("YUY2"), "YUV 4:2:2 (YUY2)"}, {Fourcc("UYVY"), "YUV 4:2:2 (UYVY)"},
    {Fourcc("I420"), "YUV 4:2:0 (I420)"}, {Fourcc("YV12"), "YUV 4:2:0 (YV12)"},
    {Fourcc("H263"), "H.263"},            {Fourcc("FLV1"), "Sorenson Spark"},
    {Fourcc("TSCC"), "TechSmith Screen Capture"}, {Fourcc("CSCD"), "CamStudio"},
    {Fourcc("MRLE"), "Microsoft RLE"},    {Fourcc("IV50"), "Indeo 5"},
    {Fourcc("IV41"), "Indeo 4"},          {Fourcc("IV32"), "Indeo 3"},
};

const Named kAudioFormats[] = {
    {0x0001, "PCM"},
    {0x0003, "IEEE float"},
    {0x0002, "Microsoft ADPCM"},
    {0x0006, "A-law"},
    {0x0007, "\xC2\xB5-law"},
    {0x0011, "IMA ADPCM"},
    {0x0031, "GSM 6.10"},
    {0x0050, "MPEG-1 Layer 1/2"},
    {0x0055, "MPEG-1 Layer 3 (MP3)"},
    {0x00FF, "AAC"},
    {0x1610, "AAC (ADTS)"},
    {0x706D, "AAC"},
    {0x0092, "AC-3 (S/PDIF)"},
    {0x2000, "AC-3"},
    {0x2001, "DTS"},
    {0x0008, "DTS"},
    {0x0160, "Windows Media Audio 1"},
    {0x0161, "Windows Media Audio 2"},
    {0x0162, "Windows Media Audio Pro"},
    {0x0163, "Windows Media Audio Lossless"},
    {0x000A, "Windows Media Audio Voice"},
    {0x674F, "Vorbis"},
    {0x6750, "Vorbis"},
    {0x6751, "Vorbis"},
    {0x566F, "Vorbis"},
    {0xF1AC, "FLAC"},
    {0x704F, "Opus"},
    {0x0022, "TrueSpeech"},
    {0x0130, "ACELP.net"},
    {0x0270, "ATRAC3"},
    {0xFFFE, "WAVE_FORMAT_EXTENSIBLE"},
};

const char* const kSpeakers[] = {
    "front left",          "front right",        "front center",         "low frequency",
    "back left",           "back right",         "front left of center", "front right of center",
    "back center",         "side left",          "side right",           "top center",
    "top front left",      "top front center",   "top front right",      "top back left",
    "top back center",     "top back right",
};

const Named kInfoItems[] = {
    {Fourcc("IARL"), "archival location"}, {Fourcc("IART"), "artist"},      {Fourcc("ICMS"), "commissioned"},
    {Fourcc("ICMT"), "comment"},           {Fourcc("ICOP"), "copyright"},   {Fourcc("ICRD"), "creation date"},
    {Fourcc("ICRP"), "cropped"},           {Fourcc("IDIM"), "dimensions"},  {Fourcc("IDPI"), "dots per inch"},
    {Fourcc("IENG"), "engineer"},          {Fourcc("IGNR"), "genre"},       {Fourcc("IKEY"), "keywords"},
    {Fourcc("ILGT"), "lightness"},         {Fourcc("IMED"), "medium"},      {Fourcc("INAM"), "title"},
    {Fourcc("IPLT"), "palette setting"},   {Fourcc("IPRD"), "product"},     {Fourcc("ISBJ"), "subject"},
    {Fourcc("ISFT"), "software"},          {Fourcc("ISHP"), "sharpness"},   {Fourcc("ISRC"), "source"},
    {Fourcc("ISRF"), "source form"},       {Fourcc("ITCH"), "technician"},  {Fourcc("ILNG"), "language"},
    {Fourcc("ISMP"), "SMPTE time code"},   {Fourcc("IDIT"), "digitization time"}, {Fourcc("ITRK"), "track number"},
    {Fourcc("IPRT"), "part"},              {Fourcc("IFRM"), "total parts"}, {Fourcc("IRTD"), "rating"},
    {Fourcc("IENC"), "encoded by"},        {Fourcc("IWEB"), "web page"},    {Fourcc("ISTR"), "starring"},
};

std::uint32_t Upper(std::uint32_t v) {
    std::uint32_t out = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        std::uint32_t c = (v >> shift) & 0xFF;
        if (c >= 'a' && c <= 'z') c -= 32;
        out |= c << shift;
    }
    return out;
}

}  // namespace

std::string AviVideoCodecName(std::uint32_t fourcc) {
    const std::uint32_t number = (fourcc >> 24) | ((fourcc >> 8) & 0xFF00) | ((fourcc << 8) & 0xFF0000) | (fourcc << 24);
    static const char* const kBitmap[] = {"uncompressed RGB (BI_RGB)", "RLE 8-bit (BI_RLE8)", "RLE 4-bit (BI_RLE4)",
                                          "RGB bit fields (BI_BITFIELDS)", "JPEG (BI_JPEG)", "PNG (BI_PNG)"};
    if (number <= 5) return kBitmap[number];
    // The classic table's own codes keep its names.
    const std::string classic = VideoCodecText(fourcc);
    if (classic.rfind("\xEC\x95\x8C", 0) != 0) return classic.substr(0, classic.rfind('('));
    const std::uint32_t upper = Upper(fourcc);
    for (const Named& n : kVideoCodecs)
        if (n.code == upper) return n.name;
    return "";
}

std::string AviAudioFormatName(std::uint32_t tag) {
    for (const Named& n : kAudioFormats)
        if (n.code == tag) return n.name;
    const std::string classic = AudioFormatText(tag);
    if (classic.rfind("\xEC\x95\x8C", 0) != 0) return classic.substr(0, classic.rfind('('));
    return "";
}

std::string SpeakerName(unsigned bit) { return bit < std::size(kSpeakers) ? kSpeakers[bit] : ""; }

std::string SubFormatName(const std::uint8_t (&guid)[16]) {
    // XXXXXXXX-0000-0010-8000-00AA00389B71, the first word a format tag.
    static const std::uint8_t kTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (std::memcmp(guid + 4, kTail, sizeof kTail) != 0) return "";
    const std::uint32_t tag = guid[0] | guid[1] << 8 | std::uint32_t{guid[2]} << 16 | std::uint32_t{guid[3]} << 24;
    if (tag > 0xFFFF) return "";
    const std::string name = AviAudioFormatName(tag);
    return (name.empty() ? std::string("format") : name) + " (KSDATAFORMAT_SUBTYPE, tag " + Hex16Text(tag) + ")";
}

std::string InfoItemName(std::uint32_t id) {
    for (const Named& n : kInfoItems)
        if (n.code == id) return n.name;
    return "";
}

}  // namespace kestrova::full
