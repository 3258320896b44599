#include "codecs/AudioConfigs.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "codecs/Mpeg4Audio.h"
#include "common/Formatters.h"

namespace kestrova::codecs {
namespace {

std::string Hz(std::uint64_t rate) { return std::to_string(rate) + " Hz"; }

std::string Indexed(std::string_view name, std::uint32_t i) {
    return std::string(name) + "[" + std::to_string(i) + "]";
}

// A signed 8.8 fixed-point field shown as the full view shows its own: "-1.5 (0XFE80)".
std::optional<std::int16_t> Fixed88(SyntaxReader& r, std::string_view label) {
    BitSource& src = r.Source();
    if (!r.Ok()) return std::nullopt;
    if (src.BitsLeft() < 16) {
        r.u(label, 16);  // says where the bytes end
        return std::nullopt;
    }
    const std::uint64_t first = src.BitPos();
    const auto raw = static_cast<std::uint16_t>(*src.Read(16));
    const auto value = static_cast<std::int16_t>(raw);
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value / 256.0);
    std::string s = text;
    while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
    if (raw == 0) {
        s += " (000000)";
    } else {
        std::snprintf(text, sizeof text, " (0X%04X)", static_cast<unsigned>(raw));
        s += text;
    }
    if (r.Sink()) r.Sink()->TextField(label, std::move(s), src.FileRange(first, src.BitPos()));
    return value;
}

std::string OpusFamilyText(std::uint64_t family) {
    switch (family) {
    case 0: return "mono or stereo, no mapping table";
    case 1: return "Vorbis channel order";
    case 2: return "ambisonics";
    case 3: return "ambisonics with a demixing matrix";
    case 255: return "channels without a defined order";
    default: return "reserved";
    }
}

// ---- FLAC ----

void ReadStreamInfo(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink, FlacConfig& cfg) {
    BitSource src = BitSource::Plain(bytes, fileOffset);
    SyntaxReader r(src, sink, "STREAMINFO");
    const auto minBlock = r.u("minimum block size", 16);
    const auto maxBlock = r.u("maximum block size", 16);
    const auto minFrame = r.u("minimum frame size", 24);
    if (minFrame == 0u) r.Meaning("unknown");
    const auto maxFrame = r.u("maximum frame size", 24);
    if (maxFrame == 0u) r.Meaning("unknown");
    const std::uint64_t rateAt = src.BitPos();
    const auto rate = r.u("sample rate", 20);
    if (rate) r.Meaning(Hz(*rate));
    const std::uint64_t channelsAt = src.BitPos();
    const auto channels = r.u("channels - 1", 3);
    const std::uint64_t bitsAt = src.BitPos();
    const auto bits = r.u("bits per sample - 1", 5);
    const std::uint64_t totalAt = src.BitPos();
    const auto total = r.u("total samples", 36);
    if (total == 0u) r.Meaning("unknown");
    r.Bytes("MD5 signature", 16);
    if (!bits) return;
    cfg.hasStreamInfo = true;
    cfg.minimumBlockSize = static_cast<std::uint32_t>(*minBlock);
    cfg.maximumBlockSize = static_cast<std::uint32_t>(*maxBlock);
    cfg.minimumFrameSize = static_cast<std::uint32_t>(*minFrame);
    cfg.maximumFrameSize = static_cast<std::uint32_t>(*maxFrame);
    cfg.sampleRate = static_cast<std::uint32_t>(*rate);
    cfg.channels = static_cast<std::uint32_t>(*channels + 1);
    cfg.bitsPerSample = static_cast<std::uint32_t>(*bits + 1);
    r.Derived("channels", std::to_string(cfg.channels), channelsAt, bitsAt);
    r.Derived("bits per sample", std::to_string(cfg.bitsPerSample), bitsAt, totalAt);
    if (total) {
        cfg.totalSamples = *total;
        if (*total != 0 && *rate != 0) {
            char text[64];
            std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(*total) / static_cast<double>(*rate));
            r.Derived("duration", text, rateAt, totalAt + 36);
        }
    }
    if (r.Ok()) ReadRest(r, "extra bytes");
}

// ---- AC-3 and E-AC-3 ----

constexpr std::uint32_t kAc3Rates[] = {48000, 44100, 32000};
constexpr std::uint32_t kAc3BitRates[] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                          192, 224, 256, 320, 384, 448, 512, 576, 640};

std::uint32_t Ac3Rate(std::uint64_t fscod) { return fscod < 3 ? kAc3Rates[fscod] : 0; }

std::string BsmodText(std::uint64_t bsmod, std::uint64_t acmod) {
    switch (bsmod) {
    case 0: return "main audio service: complete main (CM)";
    case 1: return "main audio service: music and effects (ME)";
    case 2: return "associated service: visually impaired (VI)";
    case 3: return "associated service: hearing impaired (HI)";
    case 4: return "associated service: dialogue (D)";
    case 5: return "associated service: commentary (C)";
    case 6: return "associated service: emergency (E)";
    default: return acmod == 1 ? "associated service: voice over (VO)" : "main audio service: karaoke";
    }
}

// The fields shared by dac3 and each substream of dec3, up to acmod and lfeon;
// bsmod's meaning needs acmod, which follows it.
struct Ac3Core {
    std::optional<std::uint64_t> fscod, bsid, bsmod, acmod, lfeon;
};

void ReadFscod(SyntaxReader& r, Ac3Core& c) {
    c.fscod = r.u("fscod", 2);
    if (c.fscod) {
        const std::uint32_t rate = Ac3Rate(*c.fscod);
        r.Meaning(rate ? Hz(rate) : std::string("reserved"));
    }
}

void ReadModes(SyntaxReader& r, Ac3Core& c) {
    c.bsmod = r.u("bsmod", 3);
    if (c.bsmod) r.Meaning(BsmodText(*c.bsmod, r.Source().Peek(3).value_or(0)));
    c.acmod = r.u("acmod", 3);
    if (c.acmod) r.Meaning(Ac3AcmodText(static_cast<unsigned>(*c.acmod)));
    c.lfeon = r.u("lfeon", 1);
    if (c.lfeon) r.Meaning(*c.lfeon ? "LFE on" : "no LFE");
}

// Dependent substreams' channels, by chan_loc's bits from the most significant.
struct ChanLoc {
    const char* name;
    unsigned channels;
};
constexpr ChanLoc kChanLoc[9] = {{"Lc/Rc", 2},   {"Lrs/Rrs", 2}, {"Cs", 1},  {"Ts", 1},  {"Lsd/Rsd", 2},
                                 {"Lw/Rw", 2},   {"Lvh/Rvh", 2}, {"Cvh", 1}, {"LFE2", 1}};

std::string ChanLocText(std::uint64_t chanLoc, unsigned* channels) {
    std::string text;
    for (int i = 0; i < 9; ++i) {
        if (((chanLoc >> (8 - i)) & 1) == 0) continue;
        if (!text.empty()) text += ' ';
        text += kChanLoc[i].name;
        if (channels) *channels += kChanLoc[i].channels;
    }
    return text.empty() ? "no channel locations" : text;
}

}  // namespace

// ---- Opus ----

std::string OpusChannelLayout(unsigned family, unsigned channels) {
    if (family == 0 || family == 1) {
        static constexpr const char* kLayouts[] = {
            "mono (C)", "stereo (L R)", "3.0 (L C R)", "quad (FL FR RL RR)", "5.0 (FL FC FR RL RR)",
            "5.1 (FL FC FR RL RR LFE)", "6.1 (FL FC FR SL SR RC LFE)", "7.1 (FL FC FR SL SR RL RR LFE)"};
        const unsigned most = family == 0 ? 2 : 8;
        if (channels >= 1 && channels <= most) return kLayouts[channels - 1];
    }
    return "";
}

OpusConfig ReadOpusConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink) {
    OpusConfig cfg;
    BitSource src = BitSource::Plain(bytes, fileOffset);
    SyntaxReader r(src, sink, "OpusSpecificBox");
    const auto version = r.u("Version", 8);
    if (version && *version != 0) r.Meaning("(only version 0 is known)");
    const std::uint64_t channelsAt = src.BitPos();
    const auto channels = r.u("OutputChannelCount", 8);
    const auto preSkip = r.u("PreSkip", 16);
    if (preSkip) r.Meaning("samples at 48000 Hz");
    const auto rate = r.u("InputSampleRate", 32);
    if (rate) r.Meaning(Hz(*rate));
    const auto gain = Fixed88(r, "OutputGain");
    if (gain) r.Meaning("dB");
    const auto family = r.u("ChannelMappingFamily", 8);
    if (!family) return cfg;
    r.Meaning(OpusFamilyText(*family));
    cfg.read = true;
    cfg.version = static_cast<std::uint8_t>(*version);
    cfg.outputChannelCount = static_cast<std::uint8_t>(*channels);
    cfg.preSkip = static_cast<std::uint16_t>(*preSkip);
    cfg.inputSampleRate = static_cast<std::uint32_t>(*rate);
    cfg.outputGain = *gain;
    cfg.channelMappingFamily = static_cast<std::uint8_t>(*family);
    if (*family != 0) {
        const auto streams = r.u("StreamCount", 8);
        const auto coupled = r.u("CoupledCount", 8);
        if (!coupled) return cfg;
        cfg.streamCount = static_cast<std::uint8_t>(*streams);
        cfg.coupledCount = static_cast<std::uint8_t>(*coupled);
        if (*coupled > *streams) r.Meaning("(more than StreamCount)");
        // OutputChannelCount is eight bits: at most 255 short lines.
        for (std::uint32_t i = 0; i < *channels && r.Ok(); ++i) {
            const auto m = r.u(Indexed("ChannelMapping", i), 8);
            if (!m) break;
            if (*m == 255) r.Meaning("silence");
            else if (*m < 2 * *coupled) r.Meaning("coupled stream " + std::to_string(*m / 2) + (*m % 2 ? ", right" : ", left"));
            else if (*m < *streams + *coupled) r.Meaning("mono stream " + std::to_string(*m - *coupled));
            else r.Meaning("(past the streams)");
        }
    }
    std::string channelText = std::to_string(*channels);
    const std::string layout = OpusChannelLayout(static_cast<unsigned>(*family), static_cast<unsigned>(*channels));
    if (!layout.empty()) channelText += ": " + layout;
    r.Derived("channels", channelText, channelsAt, channelsAt + 8);
    r.Derived("sample rate", "48000 Hz (Opus always decodes at 48000 Hz)", channelsAt + 8, channelsAt + 8);
    if (r.Ok()) ReadRest(r, "extra bytes");
    return cfg;
}

// ---- FLAC ----

std::string FlacBlockTypeName(unsigned type) {
    static constexpr const char* kNames[] = {"STREAMINFO",     "PADDING",  "APPLICATION", "SEEKTABLE",
                                             "VORBIS_COMMENT", "CUESHEET", "PICTURE"};
    if (type < 7) return kNames[type];
    return type == 127 ? "invalid" : "reserved";
}

FlacConfig ReadFlacMetadata(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink,
                            std::uint64_t* consumed) {
    FlacConfig cfg;
    std::uint64_t pos = 0;
    // Every block takes four bytes of header at least, so the bytes bound the loop.
    while (pos < bytes.size()) {
        BitSource head = BitSource::Plain(bytes.subspan(pos, std::min<std::size_t>(4, bytes.size() - pos)), fileOffset + pos);
        SyntaxReader r(head, sink, "FLACMetadataBlock");
        r.Heading("FLACMetadataBlock #" + std::to_string(cfg.blocks + 1));
        const auto last = r.flag("LastMetadataBlockFlag");
        if (last && *last) r.Meaning("the last block");
        const auto type = r.u("BlockType", 7);
        if (type) r.Meaning(FlacBlockTypeName(static_cast<unsigned>(*type)));
        const auto length = r.u("Length", 24);
        if (!length) {
            pos = bytes.size();
            break;
        }
        pos += 4;
        ++cfg.blocks;
        std::uint64_t have = std::min<std::uint64_t>(*length, bytes.size() - pos);
        if (have < *length && sink)
            sink->Stop("(the block says " + std::to_string(*length) + " bytes, " + std::to_string(have) + " are left)");
        const auto data = bytes.subspan(pos, have);
        if (*type == 0) {
            ReadStreamInfo(data, fileOffset + pos, sink, cfg);
        } else if (have > 0 && sink) {
            sink->TextField("BlockData", HexPairs(data, have), ByteRange{fileOffset + pos, have});
        }
        pos += have;
        if (*last) break;
    }
    if (consumed) *consumed = pos;
    return cfg;
}

// ---- AC-3 ----

std::string Ac3AcmodText(unsigned acmod) {
    static constexpr const char* kText[] = {"1+1 (Ch1 Ch2)", "1/0 (C)",         "2/0 (L R)",       "3/0 (L C R)",
                                            "2/1 (L R S)",   "3/1 (L C R S)",   "2/2 (L R Ls Rs)", "3/2 (L C R Ls Rs)"};
    return acmod < 8 ? kText[acmod] : "";
}

unsigned Ac3AcmodChannels(unsigned acmod) {
    static constexpr unsigned kChannels[] = {2, 1, 2, 3, 3, 4, 4, 5};
    return acmod < 8 ? kChannels[acmod] : 0;
}

Ac3Config ReadAc3Config(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink) {
    Ac3Config cfg;
    BitSource src = BitSource::Plain(bytes, fileOffset);
    SyntaxReader r(src, sink, "AC3SpecificBox");
    Ac3Core c;
    ReadFscod(r, c);
    c.bsid = r.u("bsid", 5);
    const std::uint64_t modesAt = src.BitPos() + 3;
    ReadModes(r, c);
    const auto rateCode = r.u("bit_rate_code", 5);
    if (rateCode) r.Meaning(*rateCode < 19 ? std::to_string(kAc3BitRates[*rateCode]) + " kbit/s" : std::string("reserved"));
    r.u("reserved", 5);
    if (!rateCode) return cfg;
    cfg.read = true;
    cfg.fscod = static_cast<std::uint8_t>(*c.fscod);
    cfg.bsid = static_cast<std::uint8_t>(*c.bsid);
    cfg.bsmod = static_cast<std::uint8_t>(*c.bsmod);
    cfg.acmod = static_cast<std::uint8_t>(*c.acmod);
    cfg.lfeon = *c.lfeon != 0;
    cfg.bitRateCode = static_cast<std::uint8_t>(*rateCode);
    cfg.sampleRate = Ac3Rate(cfg.fscod);
    cfg.channels = Ac3AcmodChannels(cfg.acmod) + (cfg.lfeon ? 1 : 0);
    cfg.bitRate = cfg.bitRateCode < 19 ? kAc3BitRates[cfg.bitRateCode] : 0;
    r.Derived("sample rate", cfg.sampleRate ? Hz(cfg.sampleRate) : std::string("unknown"), 0, 2);
    r.Derived("channels", std::to_string(cfg.channels) + ": " + Ac3AcmodText(cfg.acmod) + (cfg.lfeon ? " + LFE" : ""),
              modesAt, modesAt + 4);
    r.Derived("bit rate", cfg.bitRate ? std::to_string(cfg.bitRate) + " kbit/s" : std::string("unknown"), modesAt + 4,
              modesAt + 9);
    if (r.Ok()) ReadRest(r, "extra bytes");
    return cfg;
}

// ---- E-AC-3 ----

Eac3Config ReadEac3Config(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink) {
    Eac3Config cfg;
    BitSource src = BitSource::Plain(bytes, fileOffset);
    SyntaxReader r(src, sink, "EC3SpecificBox");
    const auto dataRate = r.u("data_rate", 13);
    if (dataRate) r.Meaning("kbit/s");
    const auto numIndSub = r.u("num_ind_sub", 3);
    if (!numIndSub) return cfg;
    r.Meaning(std::to_string(*numIndSub + 1) + (*numIndSub ? " independent substreams" : " independent substream"));
    cfg.dataRate = static_cast<std::uint16_t>(*dataRate);
    cfg.numIndSub = static_cast<std::uint8_t>(*numIndSub);
    std::uint64_t firstAt = 0, firstEnd = 0;
    for (std::uint32_t i = 0; i <= *numIndSub && r.Ok(); ++i) {
        const std::uint64_t at = src.BitPos();
        r.Heading("independent substream #" + std::to_string(i + 1));
        Ac3Core c;
        ReadFscod(r, c);
        c.bsid = r.u("bsid", 5);
        r.u("reserved", 1);
        const auto asvc = r.u("asvc", 1);
        if (asvc && *asvc) r.Meaning("an associated service");
        ReadModes(r, c);
        r.u("reserved", 3);
        const auto deps = r.u("num_dep_sub", 4);
        std::optional<std::uint64_t> chanLoc;
        if (deps && *deps > 0) {
            chanLoc = r.u("chan_loc", 9);
            if (chanLoc) r.Meaning(ChanLocText(*chanLoc, nullptr));
        } else {
            r.u("reserved", 1);
        }
        if (!r.Ok()) break;
        Eac3Substream& s = cfg.substreams[i];
        s.fscod = static_cast<std::uint8_t>(*c.fscod);
        s.bsid = static_cast<std::uint8_t>(*c.bsid);
        s.asvc = *asvc != 0;
        s.bsmod = static_cast<std::uint8_t>(*c.bsmod);
        s.acmod = static_cast<std::uint8_t>(*c.acmod);
        s.lfeon = *c.lfeon != 0;
        s.numDepSub = static_cast<std::uint8_t>(*deps);
        s.chanLoc = static_cast<std::uint16_t>(chanLoc.value_or(0));
        cfg.substreamsRead = i + 1;
        if (i == 0) {
            firstAt = at;
            firstEnd = src.BitPos();
        }
    }
    if (cfg.substreamsRead == 0) return cfg;
    cfg.read = true;
    // Dolby's object-audio signalling follows when the box holds more.
    if (r.Ok() && src.BitsLeft() >= 16) {
        r.u("reserved", 7);
        const auto atmos = r.u("flag_ec3_extension_type_a", 1);
        if (atmos && *atmos) r.Meaning("Dolby Atmos (joint object coding)");
        const auto complexity = r.u("complexity_index_type_a", 8);
        cfg.hasAtmos = atmos.value_or(0) != 0;
        cfg.complexityIndex = static_cast<std::uint8_t>(complexity.value_or(0));
    }
    const Eac3Substream& s = cfg.substreams[0];
    cfg.sampleRate = Ac3Rate(s.fscod);
    unsigned channels = Ac3AcmodChannels(s.acmod) + (s.lfeon ? 1 : 0);
    std::string text = Ac3AcmodText(s.acmod) + std::string(s.lfeon ? " + LFE" : "");
    if (s.numDepSub > 0) {
        text += " + " + ChanLocText(s.chanLoc, &channels);
    }
    cfg.channels = channels;
    r.Derived("sample rate", cfg.sampleRate ? Hz(cfg.sampleRate) : std::string("unknown"), firstAt, firstAt + 2);
    r.Derived("channels", std::to_string(channels) + ": " + text, firstAt, firstEnd);
    if (r.Ok()) ReadRest(r, "extra bytes");
    return cfg;
}

// ---- AC-4 ----

Ac4Config ReadAc4Config(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink) {
    Ac4Config cfg;
    BitSource src = BitSource::Plain(bytes, fileOffset);
    SyntaxReader r(src, sink, "AC4SpecificBox");
    r.Heading("ac4_dsi_v1()");
    const auto dsiVersion = r.u("ac4_dsi_version", 3);
    const auto bitstreamVersion = r.u("bitstream_version", 7);
    const auto fsIndex = r.u("fs_index", 1);
    if (fsIndex) r.Meaning(*fsIndex ? "48000 Hz" : "44100 Hz");
    const auto frameRate = r.u("frame_rate_index", 4);
    if (frameRate) {
        // The rates of 44.1 kHz streams differ from index 13 on; the rest are shared.
        static constexpr const char* kRates[] = {"23.976", "24",  "25",     "29.97", "30",   "47.95", "48",
                                                 "50",     "59.94", "60", "100",   "119.88", "120",  "23.4375"};
        if (*fsIndex == 0 && *frameRate == 13) r.Meaning("11025/512 fps");
        else r.Meaning(*frameRate < 14 ? std::string(kRates[*frameRate]) + " fps" : std::string("reserved"));
    }
    const auto presentations = r.u("n_presentations", 9);
    if (!presentations) return cfg;
    cfg.read = true;
    cfg.dsiVersion = static_cast<std::uint8_t>(*dsiVersion);
    cfg.bitstreamVersion = static_cast<std::uint8_t>(*bitstreamVersion);
    cfg.frameRateIndex = static_cast<std::uint8_t>(*frameRate);
    cfg.sampleRate = *fsIndex ? 48000 : 44100;
    cfg.presentations = static_cast<std::uint16_t>(*presentations);
    if (*dsiVersion != 1) {
        r.Meaning("(the rest follows a DSI version not read here)");
        ReadRest(r, "the rest");
        return cfg;
    }
    if (*bitstreamVersion > 1 && r.flag("b_program_id").value_or(false)) {
        r.u("short_program_id", 16);
        if (r.flag("b_uuid").value_or(false)) ReadByteRun(r, "program_uuid", 16);
    }
    r.Heading("ac4_bitrate_dsi()");
    const auto mode = r.u("bit_rate_mode", 2);
    if (mode) {
        static constexpr const char* kModes[] = {"not specified", "constant", "average", "variable"};
        r.Meaning(kModes[*mode]);
    }
    r.u("bit_rate", 32);
    r.u("bit_rate_precision", 32);
    if (!r.Ok()) return cfg;
    if (!src.ByteAligned()) r.Skip(static_cast<unsigned>(8 - src.BitPos() % 8));
    // Each presentation takes two bytes at least, so the bytes bound the loop.
    for (std::uint32_t i = 0; i < *presentations && r.Ok(); ++i) {
        r.Heading("presentation #" + std::to_string(i + 1));
        const auto version = r.u("presentation_version", 8);
        auto length = r.u("pres_bytes", 8);
        if (!length) break;
        if (*length == 255) *length += r.u("add_pres_bytes", 16).value_or(0);
        if (!r.Ok()) break;
        const char* label = *version == 0 ? "ac4_presentation_v0_dsi" : *version <= 2 ? "ac4_presentation_v1_dsi"
                                                                                       : "presentation bytes";
        ReadByteRun(r, label, *length);
    }
    if (r.Ok()) ReadRest(r, "extra bytes");
    return cfg;
}

// ---- ALAC ----

AlacConfig ReadAlacConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink) {
    AlacConfig cfg;
    BitSource src = BitSource::Plain(bytes, fileOffset);
    SyntaxReader r(src, sink, "ALACSpecificConfig");
    const auto frameLength = r.u("frameLength", 32);
    if (frameLength) r.Meaning("samples a frame");
    r.u("compatibleVersion", 8);
    const auto bitDepth = r.u("bitDepth", 8);
    r.u("pb", 8);
    r.u("mb", 8);
    r.u("kb", 8);
    const auto channels = r.u("numChannels", 8);
    r.u("maxRun", 16);
    const auto maxFrameBytes = r.u("maxFrameBytes", 32);
    if (maxFrameBytes == 0u) r.Meaning("unknown");
    const auto avgBitRate = r.u("avgBitRate", 32);
    if (avgBitRate) r.Meaning(*avgBitRate == 0 ? "unknown" : "bit/s");
    const auto rate = r.u("sampleRate", 32);
    if (!rate) return cfg;
    r.Meaning(Hz(*rate));
    cfg.read = true;
    cfg.frameLength = static_cast<std::uint32_t>(*frameLength);
    cfg.bitDepth = static_cast<std::uint8_t>(*bitDepth);
    cfg.numChannels = static_cast<std::uint8_t>(*channels);
    cfg.maxFrameBytes = static_cast<std::uint32_t>(*maxFrameBytes);
    cfg.avgBitRate = static_cast<std::uint32_t>(*avgBitRate);
    cfg.sampleRate = static_cast<std::uint32_t>(*rate);
    // A channel layout may follow the cookie; it is shown as it is.
    ReadRest(r, "extra bytes");
    return cfg;
}

// ---- AMR ----

std::string AmrModeSetText(std::uint16_t modeSet, bool wideband) {
    // Frame types by bit: the speech modes in kbit/s, comfort noise, and "no data" at 15.
    static constexpr const char* kNarrow[16] = {"4.75", "5.15", "5.90", "6.70", "7.40", "7.95", "10.2", "12.2",
                                                "SID",  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "NO_DATA"};
    static constexpr const char* kWide[16] = {"6.60", "8.85",  "12.65", "14.25", "15.85", "18.25", "19.85", "23.05",
                                              "23.85", "SID",  nullptr, nullptr, nullptr, nullptr, nullptr, "NO_DATA"};
    const auto& names = wideband ? kWide : kNarrow;
    const int speechModes = wideband ? 9 : 8;
    std::string rates, others;
    bool reserved = false;
    for (int i = 0; i < 16; ++i) {
        if (((modeSet >> i) & 1) == 0) continue;
        if (names[i] == nullptr) {
            reserved = true;
            continue;
        }
        std::string& list = i < speechModes ? rates : others;
        if (!list.empty()) list += ' ';
        list += names[i];
    }
    std::string text = rates.empty() ? std::string() : "modes " + rates + " kbit/s";
    if (!others.empty()) text += (text.empty() ? "" : ", ") + others;
    if (reserved) text += text.empty() ? "reserved frame types" : ", reserved frame types";
    return text.empty() ? "no modes" : text;
}

AmrConfig ReadAmrConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink, bool wideband) {
    AmrConfig cfg;
    BitSource src = BitSource::Plain(bytes, fileOffset);
    SyntaxReader r(src, sink, "AMRSpecificBox");
    if (src.BitsLeft() < 32) {
        r.u("vendor", 32);
        return cfg;
    }
    const std::uint64_t at = src.BitPos();
    const auto vendor = static_cast<std::uint32_t>(*src.Read(32));
    if (sink) sink->TextField("vendor", FourccHexText(vendor), src.FileRange(at, src.BitPos()));
    const auto version = r.u("decoder_version", 8);
    const auto modeSet = r.u("mode_set", 16);
    if (modeSet) r.Meaning(AmrModeSetText(static_cast<std::uint16_t>(*modeSet), wideband));
    const auto period = r.u("mode_change_period", 8);
    if (period) r.Meaning(*period == 0 ? "no restriction" : "frames");
    const auto frames = r.u("frames_per_sample", 8);
    if (!frames) return cfg;
    cfg.read = true;
    cfg.vendor = vendor;
    cfg.decoderVersion = static_cast<std::uint8_t>(*version);
    cfg.modeSet = static_cast<std::uint16_t>(*modeSet);
    cfg.modeChangePeriod = static_cast<std::uint8_t>(*period);
    cfg.framesPerSample = static_cast<std::uint8_t>(*frames);
    ReadRest(r, "extra bytes");
    return cfg;
}

}  // namespace kestrova::codecs
