#include "codecs/Mpeg4Audio.h"

#include <algorithm>
#include <array>
#include <optional>

#include "codecs/Mpeg4Visual.h"

namespace kestrova::codecs {
namespace {

std::string Hz(std::uint64_t rate) { return std::to_string(rate) + " Hz"; }

constexpr std::array<std::uint32_t, 13> kRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                  22050, 16000, 12000, 11025, 8000,  7350};

// USAC's five-bit index adds rates between the AAC ones.
std::uint32_t UsacRateOfIndex(std::uint32_t index) {
    static constexpr std::array<std::uint32_t, 31> kUsac = {
        96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350, 0, 0, 57600,
        51200, 40000, 38400, 34150, 28800, 25600, 20000, 19200, 17075, 14400, 12800, 9600,  0,    0, 0};
    return index < kUsac.size() ? kUsac[index] : 0;
}

std::string ChannelConfigurationText(std::uint32_t c) {
    switch (c) {
    case 0: return "defined in the configuration that follows";
    case 1: return "1 channel: C";
    case 2: return "2 channels: L R";
    case 3: return "3 channels: C L R";
    case 4: return "4 channels: C L R Cs";
    case 5: return "5 channels: C L R Ls Rs";
    case 6: return "6 channels: C L R Ls Rs LFE";
    case 7: return "8 channels: C Lc Rc L R Ls Rs LFE";
    case 11: return "7 channels: C L R Ls Rs Cs LFE";
    case 12: return "8 channels: C L R Ls Rs Lsr Rsr LFE";
    case 13: return "24 channels: 22.2";
    case 14: return "8 channels: C L R Ls Rs LFE Lv Rv";
    default: return "reserved";
    }
}

bool IsGeneralAudio(std::uint32_t aot) {
    switch (aot) {
    case 1: case 2: case 3: case 4: case 6: case 7: case 17: case 19: case 20: case 21: case 22: case 23: return true;
    default: return false;
    }
}

bool IsErrorResilient(std::uint32_t aot) {
    return (aot >= 17 && aot <= 27 && aot != 18) || aot == 39;
}

// GetAudioObjectType(): five bits, 31 escaping to 32 + six more.
std::optional<std::uint32_t> ReadObjectType(SyntaxReader& r, std::string_view label) {
    const auto v = r.u(label, 5);
    if (!v) return std::nullopt;
    if (*v != 31) {
        r.Meaning(AudioObjectTypeName(static_cast<std::uint32_t>(*v)));
        return static_cast<std::uint32_t>(*v);
    }
    r.Meaning("escape: audioObjectTypeExt follows");
    const auto ext = r.u("audioObjectTypeExt", 6);
    if (!ext) return std::nullopt;
    const auto aot = static_cast<std::uint32_t>(32 + *ext);
    r.Meaning("object type " + std::to_string(aot) + ": " + AudioObjectTypeName(aot));
    return aot;
}

// A four-bit index, or the escape 15 and 24 bits of frequency.
std::optional<std::uint32_t> ReadFrequency(SyntaxReader& r, std::string_view indexLabel, std::string_view valueLabel) {
    const auto index = r.u(indexLabel, 4);
    if (!index) return std::nullopt;
    if (*index == 15) {
        r.Meaning("escape: the frequency follows");
        const auto f = r.u(valueLabel, 24);
        if (!f) return std::nullopt;
        r.Meaning(Hz(*f));
        return static_cast<std::uint32_t>(*f);
    }
    const std::uint32_t rate = SamplingFrequencyOfIndex(static_cast<std::uint32_t>(*index));
    r.Meaning(rate ? Hz(rate) : std::string("reserved"));
    return rate;
}

std::string Indexed(std::string_view name, std::uint32_t i) {
    return std::string(name) + "[" + std::to_string(i) + "]";
}

// program_config_element(): its channels are the sum of its elements'.
void ReadProgramConfigElement(SyntaxReader& r, std::uint64_t configStart, Mpeg4AudioConfig& cfg) {
    BitSource& src = r.Source();
    const std::uint64_t first = src.BitPos();
    r.Heading("program_config_element()");
    r.u("element_instance_tag", 4);
    const auto objectType = r.u("object_type", 2);
    if (objectType) r.Meaning(AudioObjectTypeName(static_cast<std::uint32_t>(*objectType + 1)));
    const auto index = r.u("sampling_frequency_index", 4);
    if (index) {
        const std::uint32_t rate = SamplingFrequencyOfIndex(static_cast<std::uint32_t>(*index));
        r.Meaning(rate ? Hz(rate) : std::string("reserved"));
    }
    const auto front = r.u("num_front_channel_elements", 4);
    const auto side = r.u("num_side_channel_elements", 4);
    const auto back = r.u("num_back_channel_elements", 4);
    const auto lfe = r.u("num_lfe_channel_elements", 2);
    const auto assoc = r.u("num_assoc_data_elements", 3);
    const auto cc = r.u("num_valid_cc_elements", 4);
    if (!r.Ok()) return;
    if (r.flag("mono_mixdown_present").value_or(false)) r.u("mono_mixdown_element_number", 4);
    if (r.flag("stereo_mixdown_present").value_or(false)) r.u("stereo_mixdown_element_number", 4);
    if (r.flag("matrix_mixdown_idx_present").value_or(false)) {
        r.u("matrix_mixdown_idx", 2);
        r.u("pseudo_surround_enable", 1);
    }
    // The counts are at most 15, so these loops are short whatever the bytes say.
    std::uint32_t channels = 0;
    const auto elements = [&](std::string_view cpeLabel, std::string_view tagLabel, std::uint64_t count) {
        for (std::uint32_t i = 0; i < count && r.Ok(); ++i) {
            const auto cpe = r.flag(Indexed(cpeLabel, i));
            if (cpe) r.Meaning(*cpe ? "channel pair" : "single channel");
            r.u(Indexed(tagLabel, i), 4);
            channels += cpe.value_or(false) ? 2 : 1;
        }
    };
    elements("front_element_is_cpe", "front_element_tag_select", *front);
    elements("side_element_is_cpe", "side_element_tag_select", *side);
    elements("back_element_is_cpe", "back_element_tag_select", *back);
    for (std::uint32_t i = 0; i < *lfe && r.Ok(); ++i) {
        r.u(Indexed("lfe_element_tag_select", i), 4);
        ++channels;
    }
    for (std::uint32_t i = 0; i < *assoc && r.Ok(); ++i) r.u(Indexed("assoc_data_element_tag_select", i), 4);
    for (std::uint32_t i = 0; i < *cc && r.Ok(); ++i) {
        r.u(Indexed("cc_element_is_ind_sw", i), 1);
        r.u(Indexed("valid_cc_element_tag_select", i), 4);
    }
    // byte_alignment() counts from the start of the AudioSpecificConfig.
    const std::uint64_t misalign = (src.BitPos() - configStart) % 8;
    if (misalign != 0) r.Skip(static_cast<unsigned>(8 - misalign));
    const auto commentBytes = r.u("comment_field_bytes", 8);
    if (!commentBytes || !r.Ok()) return;
    if (*commentBytes * 8 > src.BitsLeft()) {
        r.Fail("comment_field_data needs " + std::to_string(*commentBytes) + " bytes");
        return;
    }
    if (*commentBytes > 0) {
        const std::uint64_t at = src.BitPos();
        std::string text = "\"";
        for (std::uint64_t i = 0; i < *commentBytes; ++i) {
            const auto c = src.Read(8).value_or(0);
            text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
        }
        text += '"';
        if (r.Sink()) r.Sink()->TextField("comment_field_data", std::move(text), src.FileRange(at, src.BitPos()));
    }
    cfg.channels = channels;
    r.Derived("channels", std::to_string(channels), first, src.BitPos());
}

void ReadGaSpecificConfig(SyntaxReader& r, std::uint64_t configStart, std::uint32_t aot, Mpeg4AudioConfig& cfg) {
    r.Heading("GASpecificConfig()");
    const auto frameLength = r.flag("frameLengthFlag");
    if (frameLength) {
        // AAC LD frames are half as long; SSR's are counted in its bands.
        cfg.frameLength = aot == 23 ? (*frameLength ? 480 : 512) : (*frameLength ? 960 : 1024);
        r.Meaning(std::to_string(cfg.frameLength) + " samples a frame");
    }
    if (r.flag("dependsOnCoreCoder").value_or(false)) r.u("coreCoderDelay", 14);
    const auto extension = r.flag("extensionFlag");
    if (!r.Ok()) return;
    if (cfg.channelConfiguration == 0) ReadProgramConfigElement(r, configStart, cfg);
    if (aot == 6 || aot == 20) r.u("layerNr", 3);
    if (!extension.value_or(false) || !r.Ok()) return;
    if (aot == 22) {
        r.u("numOfSubFrame", 5);
        r.u("layer_length", 11);
    }
    if (aot == 17 || aot == 19 || aot == 20 || aot == 23) {
        r.flag("aacSectionDataResilienceFlag");
        r.flag("aacScalefactorDataResilienceFlag");
        r.flag("aacSpectralDataResilienceFlag");
    }
    if (r.flag("extensionFlag3").value_or(false)) r.Meaning("(for a later version: what follows is not read)");
}

void ReadSbrHeader(SyntaxReader& r) {
    r.Heading("sbr_header()");
    r.u("bs_amp_res", 1);
    r.u("bs_start_freq", 4);
    r.u("bs_stop_freq", 4);
    r.u("bs_xover_band", 3);
    r.u("bs_reserved", 2);
    const auto extra1 = r.flag("bs_header_extra_1");
    const auto extra2 = r.flag("bs_header_extra_2");
    if (extra1.value_or(false)) {
        r.u("bs_freq_scale", 2);
        r.u("bs_alter_scale", 1);
        r.u("bs_noise_bands", 2);
    }
    if (extra2.value_or(false)) {
        r.u("bs_limiter_bands", 2);
        r.u("bs_limiter_gains", 2);
        r.u("bs_interpol_freq", 1);
        r.u("bs_smoothing_mode", 1);
    }
}

void ReadEldSpecificConfig(SyntaxReader& r, Mpeg4AudioConfig& cfg) {
    r.Heading("ELDSpecificConfig()");
    const auto frameLength = r.flag("frameLengthFlag");
    if (frameLength) {
        cfg.frameLength = *frameLength ? 480 : 512;
        r.Meaning(std::to_string(cfg.frameLength) + " samples a frame");
    }
    const auto sbr = r.flag("ldSbrPresentFlag");
    const auto dualRate = r.flag("ldSbrSamplingRate");
    if (dualRate) r.Meaning(*dualRate ? "dual rate" : "single rate");
    r.flag("ldSbrCrcFlag");
    if (!r.Ok()) return;
    cfg.sbr = *sbr ? 1 : 0;
    if (*sbr && *dualRate) cfg.extensionSamplingFrequency = 2 * cfg.samplingFrequency;
    if (*sbr) {
        static constexpr std::array<int, 8> kHeaders = {0, 1, 1, 2, 3, 3, 3, 4};
        const int headers = cfg.channelConfiguration < kHeaders.size() ? kHeaders[cfg.channelConfiguration] : 0;
        for (int i = 0; i < headers && r.Ok(); ++i) ReadSbrHeader(r);
    }
    // Each extension takes at least eight bits, so the bits bound the loop.
    while (r.Ok()) {
        const auto type = r.u("eldExtType", 4);
        if (!type) return;
        if (*type == 0) {
            r.Meaning("ELDEXT_TERM");
            return;
        }
        std::uint64_t length = r.u("eldExtLen", 4).value_or(0);
        if (length == 15) {
            const auto add = r.u("eldExtLenAdd", 8);
            length += add.value_or(0);
            if (add == 255u) length += r.u("eldExtLenAddAdd", 16).value_or(0);
        }
        if (!r.Ok()) return;
        ReadByteRun(r, "other_byte", length);
    }
}

void ReadUsacConfigStart(SyntaxReader& r, Mpeg4AudioConfig& cfg) {
    r.Heading("UsacConfig()");
    const auto index = r.u("usacSamplingFrequencyIndex", 5);
    if (!index) return;
    std::uint32_t rate = 0;
    if (*index == 0x1F) {
        r.Meaning("escape: the frequency follows");
        rate = static_cast<std::uint32_t>(r.u("usacSamplingFrequency", 24).value_or(0));
    } else {
        rate = UsacRateOfIndex(static_cast<std::uint32_t>(*index));
    }
    r.Meaning(rate ? Hz(rate) : std::string("reserved"));
    if (rate) cfg.samplingFrequency = rate;
    const auto sbrIndex = r.u("coreSbrFrameLengthIndex", 3);
    if (sbrIndex) {
        static constexpr std::array<const char*, 5> kSbr = {
            "768 samples a frame, no SBR", "1024 samples a frame, no SBR", "768 samples a frame, SBR 8:3",
            "1024 samples a frame, SBR 2:1", "1024 samples a frame, SBR 4:1"};
        r.Meaning(*sbrIndex < kSbr.size() ? kSbr[*sbrIndex] : "reserved");
        cfg.frameLength = *sbrIndex == 0 || *sbrIndex == 2 ? 768 : 1024;
    }
    const auto channels = r.u("channelConfigurationIndex", 5);
    if (!channels) return;
    r.Meaning(ChannelConfigurationText(static_cast<std::uint32_t>(*channels)));
    cfg.channels = ChannelsOfConfiguration(static_cast<std::uint32_t>(*channels));
    ReadRest(r, *channels == 0 ? "UsacChannelConfig() and the rest" : "UsacDecoderConfig() and the rest");
}

std::string ProfileOf(const Mpeg4AudioConfig& cfg) {
    if (cfg.coreObjectType == 42) return "xHE-AAC (USAC)";
    if (cfg.coreObjectType == 2 && cfg.ps == 1) return "HE-AAC v2 (PS)";
    if (cfg.coreObjectType == 2 && cfg.sbr == 1) return "HE-AAC (SBR)";
    std::string name = AudioObjectTypeName(cfg.coreObjectType);
    if (cfg.sbr == 1) name += cfg.ps == 1 ? " with SBR and PS" : " with SBR";
    return name;
}

}  // namespace

std::string AudioObjectTypeName(std::uint32_t aot) {
    static constexpr std::array<const char*, 47> kNames = {
        "Null", "AAC Main", "AAC LC", "AAC SSR", "AAC LTP", "SBR", "AAC Scalable", "TwinVQ", "CELP", "HVXC",
        "reserved", "reserved", "TTSI", "Main synthetic", "Wavetable synthesis", "General MIDI",
        "Algorithmic synthesis and audio effects", "ER AAC LC", "reserved", "ER AAC LTP", "ER AAC Scalable",
        "ER TwinVQ", "ER BSAC", "ER AAC LD", "ER CELP", "ER HVXC", "ER HILN", "ER Parametric", "SSC", "PS",
        "MPEG Surround", "escape", "Layer-1", "Layer-2", "Layer-3", "DST", "ALS", "SLS", "SLS non-core",
        "ER AAC ELD", "SMR Simple", "SMR Main", "USAC", "SAOC", "LD MPEG Surround", "SAOC-DE", "Audio Sync"};
    return aot < kNames.size() ? kNames[aot] : "reserved";
}

std::uint32_t SamplingFrequencyOfIndex(std::uint32_t index) { return index < kRates.size() ? kRates[index] : 0; }

std::uint32_t ChannelsOfConfiguration(std::uint32_t configuration) {
    static constexpr std::array<std::uint32_t, 15> kChannels = {0, 1, 2, 3, 4, 5, 6, 8, 0, 0, 0, 7, 8, 24, 8};
    return configuration < kChannels.size() ? kChannels[configuration] : 0;
}

std::string HexPairs(std::span<const std::uint8_t> bytes, std::uint64_t total) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < 32; ++i) {
        if (i != 0) text += ' ';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 15];
    }
    if (total > 32) text += " ... (" + std::to_string(total) + " bytes)";
    return text;
}

bool ReadByteRun(SyntaxReader& r, std::string_view label, std::uint64_t n) {
    if (!r.Ok()) return false;
    BitSource& src = r.Source();
    if (src.ByteAligned()) return r.Bytes(label, n);
    if (n > src.BitsLeft() / 8) {
        r.Fail(std::string(label) + " needs " + std::to_string(n) + " bytes");
        return false;
    }
    const std::uint64_t first = src.BitPos();
    std::array<std::uint8_t, 32> shown{};
    for (std::uint64_t i = 0; i < n && i < shown.size(); ++i) shown[i] = static_cast<std::uint8_t>(*src.Read(8));
    src.SeekBit(first + 8 * n);
    if (r.Sink())
        r.Sink()->TextField(label, HexPairs({shown.data(), static_cast<std::size_t>(std::min<std::uint64_t>(n, 32))}, n),
                            src.FileRange(first, src.BitPos()));
    return true;
}

void ReadRest(SyntaxReader& r, std::string_view label) {
    BitSource& src = r.Source();
    if (!r.Ok() || src.BitsLeft() == 0) return;
    if (!src.ByteAligned()) r.u(label, static_cast<unsigned>(8 - src.BitPos() % 8));
    if (src.BitsLeft() >= 8) ReadByteRun(r, label, src.BitsLeft() / 8);
}

Mpeg4AudioConfig ReadAudioSpecificConfig(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink) {
    BitSource src = BitSource::Plain(bytes, fileOffset);
    return ReadAudioSpecificConfig(src, sink);
}

Mpeg4AudioConfig ReadAudioSpecificConfig(BitSource& src, FieldSink* sink) {
    Mpeg4AudioConfig cfg;
    SyntaxReader r(src, sink, "AudioSpecificConfig");
    const std::uint64_t start = src.BitPos();
    r.Heading("AudioSpecificConfig()");
    const auto aot = ReadObjectType(r, "audioObjectType");
    const std::uint64_t rateStart = src.BitPos();
    const auto rate = ReadFrequency(r, "samplingFrequencyIndex", "samplingFrequency");
    std::uint64_t rateEnd = src.BitPos();
    const std::uint64_t channelStart = src.BitPos();
    const auto channelConfiguration = r.u("channelConfiguration", 4);
    if (!aot || !rate || !channelConfiguration) return cfg;
    std::uint64_t channelEnd = src.BitPos();
    r.Meaning(ChannelConfigurationText(static_cast<std::uint32_t>(*channelConfiguration)));
    cfg.read = true;
    cfg.audioObjectType = cfg.coreObjectType = *aot;
    cfg.samplingFrequency = *rate;
    cfg.channelConfiguration = static_cast<std::uint8_t>(*channelConfiguration);
    cfg.channels = ChannelsOfConfiguration(cfg.channelConfiguration);

    std::uint32_t extensionObjectType = 0;
    if (*aot == 5 || *aot == 29) {
        // Explicit, hierarchical signalling: the extension first, the core after it.
        extensionObjectType = 5;
        cfg.sbr = 1;
        if (*aot == 29) cfg.ps = 1;
        cfg.extensionSamplingFrequency =
            ReadFrequency(r, "extensionSamplingFrequencyIndex", "extensionSamplingFrequency").value_or(0);
        rateEnd = src.BitPos();
        const auto core = ReadObjectType(r, "audioObjectType");
        if (core) cfg.coreObjectType = *core;
        if (core == 22u) r.u("extensionChannelConfiguration", 4);
    }

    const std::uint32_t core = cfg.coreObjectType;
    bool decoded = r.Ok();
    if (!decoded) {
        // Cut before the object's own configuration: the derived values still follow.
    } else if (IsGeneralAudio(core)) {
        ReadGaSpecificConfig(r, start, core, cfg);
    } else if (core >= 32 && core <= 34) {
        r.Heading("MPEG_1_2_SpecificConfig()");
        r.flag("extension");
    } else if (core == 39) {
        ReadEldSpecificConfig(r, cfg);
    } else if (core == 42) {
        ReadUsacConfigStart(r, cfg);
        decoded = false;
    } else {
        ReadRest(r, AudioObjectTypeName(core) + " configuration");
        decoded = false;
    }
    if (cfg.channelConfiguration == 0 && cfg.channels != 0) channelEnd = src.BitPos();

    if (decoded && r.Ok() && IsErrorResilient(core)) {
        const auto ep = r.u("epConfig", 2);
        if (ep == 2u || ep == 3u) {
            ReadRest(r, "ErrorProtectionSpecificConfig() and the rest");
            decoded = false;
        }
    }

    // Backward-compatible signalling: a decoder that knows only the core stops before it.
    if (decoded && r.Ok() && extensionObjectType != 5 && src.BitsLeft() >= 16) {
        const auto sync = r.u("syncExtensionType", 11);
        if (sync != 0x2B7u) {
            r.Meaning("(not a sync extension: what follows is not read)");
            ReadRest(r, "the rest");
        } else {
            r.Meaning("extension signalled after the core configuration");
            const auto ext = ReadObjectType(r, "extensionAudioObjectType");
            if (ext == 5u || ext == 22u) {
                const auto sbr = r.flag("sbrPresentFlag");
                if (sbr) cfg.sbr = *sbr ? 1 : 0;
                if (sbr.value_or(false)) {
                    cfg.extensionSamplingFrequency =
                        ReadFrequency(r, "extensionSamplingFrequencyIndex", "extensionSamplingFrequency").value_or(0);
                    rateEnd = src.BitPos();
                    if (ext == 5u && src.BitsLeft() >= 12) {
                        const auto sync2 = r.u("syncExtensionType", 11);
                        if (sync2 == 0x548u) {
                            r.Meaning("parametric stereo signalled");
                            const auto ps = r.flag("psPresentFlag");
                            if (ps) cfg.ps = *ps ? 1 : 0;
                        } else {
                            r.Meaning("(not a sync extension: what follows is not read)");
                        }
                    }
                }
                if (ext == 22u) r.u("extensionChannelConfiguration", 4);
            }
        }
    }
    const std::uint64_t end = src.BitPos();
    // Zero bits up to the byte boundary are padding; anything more is shown.
    if (r.Ok() && (src.BitsLeft() >= 8 || src.Peek(static_cast<unsigned>(src.BitsLeft())).value_or(0) != 0))
        ReadRest(r, "remaining bits");

    cfg.profile = ProfileOf(cfg);
    r.Derived("object type", cfg.profile, start, end);
    std::string rateText = cfg.OutputSampleRate() ? Hz(cfg.OutputSampleRate()) : std::string("unknown");
    if (cfg.extensionSamplingFrequency && cfg.samplingFrequency && cfg.extensionSamplingFrequency != cfg.samplingFrequency)
        rateText += " (the core at " + Hz(cfg.samplingFrequency) + ")";
    r.Derived("sample rate", rateText, rateStart, std::max(rateEnd, rateStart + 1));
    std::string channelText = cfg.channels ? std::to_string(cfg.channels) : std::string("unknown");
    if (cfg.ps == 1 && cfg.channels == 1) channelText += " (2 with parametric stereo)";
    r.Derived("channels", channelText, channelStart, channelEnd);
    return cfg;
}

// ---- The ES descriptor ----

std::string_view ObjectTypeIndicationName(std::uint8_t v) {
    switch (v) {
    case 0x01: return "Systems (ObjectDescriptor)";
    case 0x02: return "Systems (ObjectDescriptor, version 2)";
    case 0x03: return "Interaction Stream";
    case 0x04: return "Systems (extended BIFS)";
    case 0x05: return "AFX";
    case 0x06: return "Font Data Stream";
    case 0x07: return "Synthesized Texture Stream";
    case 0x08: return "Streaming Text Stream";
    case 0x09: return "LASeR";
    case 0x0A: return "Simple Aggregation Format";
    case 0x20: return "MPEG-4 Visual";
    case 0x21: return "H.264";
    case 0x22: return "H.264 parameter sets";
    case 0x23: return "H.265";
    case 0x40: return "MPEG-4 Audio";
    case 0x60: return "MPEG-2 Visual Simple";
    case 0x61: return "MPEG-2 Visual Main";
    case 0x62: return "MPEG-2 Visual SNR";
    case 0x63: return "MPEG-2 Visual Spatial";
    case 0x64: return "MPEG-2 Visual High";
    case 0x65: return "MPEG-2 Visual 4:2:2";
    case 0x66: return "MPEG-2 AAC Main";
    case 0x67: return "MPEG-2 AAC LC";
    case 0x68: return "MPEG-2 AAC SSR";
    case 0x69: return "MPEG-2 Audio";
    case 0x6A: return "MPEG-1 Visual";
    case 0x6B: return "MPEG-1 Audio";
    case 0x6C: return "JPEG";
    case 0x6D: return "PNG";
    case 0x6E: return "JPEG 2000";
    case 0xA0: return "EVRC";
    case 0xA1: return "SMV";
    case 0xA2: return "3GPP2 Compact Multimedia Format";
    case 0xA3: return "VC-1";
    case 0xA4: return "Dirac";
    case 0xA5: return "AC-3";
    case 0xA6: return "E-AC-3";
    case 0xA7: return "DRA";
    case 0xA8: return "G.719";
    case 0xA9: return "DTS Coherent Acoustics";
    case 0xAA: return "DTS-HD High Resolution Audio";
    case 0xAB: return "DTS-HD Master Audio";
    case 0xAC: return "DTS Express";
    case 0xAD: return "Opus";
    case 0xB1: return "VP9";
    case 0xDD: return "Vorbis (private)";
    case 0xE1: return "13K Voice";
    case 0xFE: return "no object type specified (private)";
    case 0xFF: return "no object type specified";
    default: return v >= 0xC0 ? "user private" : "";
    }
}

std::string_view StreamTypeName(std::uint8_t v) {
    static constexpr std::array<const char*, 14> kNames = {
        "forbidden", "ObjectDescriptorStream", "ClockReferenceStream", "SceneDescriptionStream", "VisualStream",
        "AudioStream", "MPEG7Stream", "IPMPStream", "ObjectContentInfoStream", "MPEGJStream", "Interaction Stream",
        "IPMPToolStream", "FontDataStream", "StreamingText"};
    if (v < kNames.size()) return kNames[v];
    return v >= 0x20 ? "user private" : "reserved";
}

std::string_view DescriptorTagName(std::uint8_t tag) {
    switch (tag) {
    case 0x01: return "ObjectDescrTag";
    case 0x02: return "InitialObjectDescrTag";
    case 0x03: return "ES_DescrTag";
    case 0x04: return "DecoderConfigDescrTag";
    case 0x05: return "DecSpecificInfoTag";
    case 0x06: return "SLConfigDescrTag";
    case 0x07: return "ContentIdentDescrTag";
    case 0x08: return "SupplContentIdentDescrTag";
    case 0x09: return "IPI_DescrPointerTag";
    case 0x0A: return "IPMP_DescrPointerTag";
    case 0x0B: return "IPMP_DescrTag";
    case 0x0C: return "QoS_DescrTag";
    case 0x0D: return "RegistrationDescrTag";
    case 0x0E: return "ES_ID_IncTag";
    case 0x0F: return "ES_ID_RefTag";
    case 0x10: return "MP4_IOD_Tag";
    case 0x11: return "MP4_OD_Tag";
    case 0x13: return "ExtensionProfileLevelDescrTag";
    case 0x14: return "profileLevelIndicationIndexDescrTag";
    case 0x40: return "ContentClassificationDescrTag";
    case 0x41: return "KeyWordDescrTag";
    case 0x42: return "RatingDescrTag";
    case 0x43: return "LanguageDescrTag";
    case 0x44: return "ShortTextualDescrTag";
    case 0x45: return "ExpandedTextualDescrTag";
    case 0x46: return "ContentCreatorNameDescrTag";
    case 0x47: return "ContentCreationDateDescrTag";
    case 0x48: return "OCICreatorNameDescrTag";
    case 0x49: return "OCICreationDateDescrTag";
    case 0x4A: return "SmpteCameraPositionDescrTag";
    case 0x60: return "IPMP_ToolsListDescrTag";
    case 0x61: return "IPMP_ToolTag";
    case 0x64: return "ExtSLConfigDescrTag";
    default: return "";
    }
}

namespace {

// The structure each tag introduces, for the headings and the stop lines.
std::string StructureName(std::uint8_t tag) {
    switch (tag) {
    case 0x03: return "ES_Descriptor";
    case 0x04: return "DecoderConfigDescriptor";
    case 0x05: return "DecoderSpecificInfo";
    case 0x06: return "SLConfigDescriptor";
    case 0x14: return "profileLevelIndicationIndexDescriptor";
    default: {
        // RatingDescrTag introduces a RatingDescriptor, IPMP_DescrPointerTag an IPMP_DescriptorPointer.
        std::string name(DescriptorTagName(tag));
        if (name.empty()) return "descriptor";
        name.resize(name.size() - 3);
        if (!name.empty() && name.back() == '_') name.pop_back();
        if (const std::size_t at = name.find("Descr"); at != std::string::npos) name.insert(at + 5, "iptor");
        return name;
    }
    }
}

bool IsMpeg4AudioConfig(std::uint8_t objectTypeIndication) {
    return objectTypeIndication == 0x40 || (objectTypeIndication >= 0x66 && objectTypeIndication <= 0x68);
}

// Reads descriptors from a span of the esds's bytes; each descriptor's fields
// get a source over its own bytes only, so no field reads into the next one.
class DescriptorReader {
public:
    DescriptorReader(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink, EsDescriptorInfo& info)
        : bytes_(bytes), fileOffset_(fileOffset), sink_(sink), info_(info) {}

    // One descriptor at pos, within [pos, end); returns where it ends.
    std::uint64_t One(std::uint64_t pos, std::uint64_t end, int depth) {
        BitSource head = BitSource::Plain(bytes_.subspan(pos, std::min<std::uint64_t>(5, end - pos)), fileOffset_ + pos);
        const std::uint8_t tag = static_cast<std::uint8_t>(head.Peek(8).value_or(0));
        const std::string name = StructureName(tag);
        SyntaxReader hr(head, sink_, name);
        hr.Heading(name);
        hr.u("tag", 8);
        const std::string_view tagName = DescriptorTagName(tag);
        hr.Meaning(tagName.empty() ? "(unknown tag)" : tagName);
        // sizeOfInstance: up to four bytes of seven bits, the top bit saying another follows.
        std::uint64_t size = 0;
        int sizeBytes = 0;
        bool more = true;
        while (more && sizeBytes < 4) {
            const auto b = head.Read(8);
            if (!b) {
                hr.Fail("sizeOfInstance runs past the end");
                return end;
            }
            size = size << 7 | (*b & 0x7F);
            more = (*b & 0x80) != 0;
            ++sizeBytes;
        }
        if (more) {
            hr.Fail("sizeOfInstance is longer than 4 bytes");
            return end;
        }
        if (sink_) {
            const ByteRange range = head.FileRange(8, head.BitPos());
            if (sizeBytes == 1) {
                sink_->Field("sizeOfInstance", size, 8, range);
            } else {
                // Seven bits a byte are no plain number: the bytes follow the value.
                sink_->TextField("sizeOfInstance",
                                 std::to_string(size) + " (" + HexPairs(head.Data().subspan(1, sizeBytes), 0) + ")", range);
            }
        }
        const std::uint64_t body = pos + 1 + static_cast<std::uint64_t>(sizeBytes);
        std::uint64_t bodyEnd = body + size;
        if (size > end - body) {
            if (sink_)
                sink_->Stop("(" + name + " says " + std::to_string(size) + " bytes, " + std::to_string(end - body) +
                            " are left)");
            bodyEnd = end;
        }
        if (depth > 4) {
            Data(body, bodyEnd, "data", name);
            return bodyEnd;
        }
        switch (tag) {
        case 0x03: EsDescriptor(body, bodyEnd, depth); break;
        case 0x04: DecoderConfig(body, bodyEnd, depth); break;
        case 0x05: DecoderSpecificInfo(body, bodyEnd); break;
        case 0x06: SlConfig(body, bodyEnd); break;
        case 0x14: {
            BitSource src = Source(body, bodyEnd);
            SyntaxReader r(src, sink_, name);
            r.u("profileLevelIndicationIndex", 8);
            if (r.Ok()) ReadRest(r, "data");
            break;
        }
        default: Data(body, bodyEnd, "data", name); break;
        }
        return bodyEnd;
    }

    // Descriptors one after another until end; each takes two bytes at least.
    void List(std::uint64_t pos, std::uint64_t end, int depth) {
        while (pos + 2 <= end) pos = One(pos, end, depth);
        if (pos < end) Data(pos, end, "extra bytes", "descriptor list");
    }

private:
    BitSource Source(std::uint64_t begin, std::uint64_t end) const {
        return BitSource::Plain(bytes_.subspan(begin, end - begin), fileOffset_ + begin);
    }

    void Data(std::uint64_t begin, std::uint64_t end, std::string_view label, const std::string& structure) {
        if (begin >= end) return;
        BitSource src = Source(begin, end);
        SyntaxReader r(src, sink_, structure);
        r.Bytes(label, end - begin);
    }

    void EsDescriptor(std::uint64_t body, std::uint64_t end, int depth) {
        // The fields take at most 2 + 1 + 2 + 1 + 255 + 2 bytes.
        BitSource src = Source(body, std::min<std::uint64_t>(end, body + 263));
        SyntaxReader r(src, sink_, "ES_Descriptor");
        const auto esId = r.u("ES_ID", 16);
        const auto dependence = r.flag("streamDependenceFlag");
        const auto url = r.flag("URL_Flag");
        const auto ocr = r.flag("OCRstreamFlag");
        r.u("streamPriority", 5);
        if (dependence.value_or(false)) r.u("dependsOn_ES_ID", 16);
        if (url.value_or(false)) {
            const auto length = r.u("URLlength", 8);
            if (length && *length * 8 > src.BitsLeft()) {
                r.Fail("URLstring needs " + std::to_string(*length) + " bytes");
            } else if (length) {
                const std::uint64_t at = src.BitPos();
                std::string text = "\"";
                for (std::uint64_t i = 0; i < *length; ++i) {
                    const auto c = src.Read(8).value_or(0);
                    text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
                }
                if (sink_) sink_->TextField("URLstring", text + "\"", src.FileRange(at, src.BitPos()));
            }
        }
        if (ocr.value_or(false)) r.u("OCR_ES_Id", 16);
        if (!r.Ok()) return;
        if (info_.read == false && esId) {
            info_.read = true;
            info_.esId = static_cast<std::uint16_t>(*esId);
        }
        List(body + src.BitPos() / 8, end, depth + 1);
    }

    void DecoderConfig(std::uint64_t body, std::uint64_t end, int depth) {
        BitSource src = Source(body, std::min<std::uint64_t>(end, body + 13));
        SyntaxReader r(src, sink_, "DecoderConfigDescriptor");
        const auto oti = r.u("objectTypeIndication", 8);
        if (oti) {
            const std::string_view name = ObjectTypeIndicationName(static_cast<std::uint8_t>(*oti));
            r.Meaning(name.empty() ? "reserved" : name);
        }
        const auto streamType = r.u("streamType", 6);
        if (streamType) r.Meaning(StreamTypeName(static_cast<std::uint8_t>(*streamType)));
        r.u("upStream", 1);
        r.u("reserved", 1);
        const auto buffer = r.u("bufferSizeDB", 24);
        const auto maxBitrate = r.u("maxBitrate", 32);
        const auto avgBitrate = r.u("avgBitrate", 32);
        if (!oti) return;
        currentObjectType_ = static_cast<std::uint8_t>(*oti);
        if (!info_.hasDecoderConfig) {
            info_.hasDecoderConfig = true;
            info_.objectTypeIndication = currentObjectType_;
            info_.streamType = static_cast<std::uint8_t>(streamType.value_or(0));
            info_.bufferSizeDB = static_cast<std::uint32_t>(buffer.value_or(0));
            info_.maxBitrate = static_cast<std::uint32_t>(maxBitrate.value_or(0));
            info_.avgBitrate = static_cast<std::uint32_t>(avgBitrate.value_or(0));
        }
        if (!r.Ok()) return;
        List(body + 13, end, depth + 1);
    }

    void DecoderSpecificInfo(std::uint64_t body, std::uint64_t end) {
        if (info_.decoderSpecificInfoLength == 0 && end > body) {
            info_.decoderSpecificInfoOffset = fileOffset_ + body;
            info_.decoderSpecificInfoLength = end - body;
        }
        if (IsMpeg4AudioConfig(currentObjectType_) && end > body) {
            BitSource src = Source(body, end);
            const Mpeg4AudioConfig cfg = ReadAudioSpecificConfig(src, sink_);
            if (!info_.hasAudioConfig && cfg.read) {
                info_.hasAudioConfig = true;
                info_.audio = cfg;
            }
            return;
        }
        if (currentObjectType_ == 0x20 && end > body) {
            BitSource src = Source(body, end);
            ReadMpeg4VisualConfig(src, sink_);
            return;
        }
        Data(body, end, "data", "DecoderSpecificInfo");
    }

    void SlConfig(std::uint64_t body, std::uint64_t end) {
        BitSource src = Source(body, end);
        SyntaxReader r(src, sink_, "SLConfigDescriptor");
        const auto predefined = r.u("predefined", 8);
        if (!predefined) return;
        r.Meaning(*predefined == 0   ? "custom"
                  : *predefined == 1 ? "null SL packet header"
                  : *predefined == 2 ? "reserved for use in MP4 files"
                                     : "reserved");
        if (*predefined == 0) {
            r.flag("useAccessUnitStartFlag");
            r.flag("useAccessUnitEndFlag");
            r.flag("useRandomAccessPointFlag");
            r.flag("hasRandomAccessUnitsOnlyFlag");
            r.flag("usePaddingFlag");
            const auto useTimeStamps = r.flag("useTimeStampsFlag");
            r.flag("useIdleFlag");
            const auto duration = r.flag("durationFlag");
            r.u("timeStampResolution", 32);
            r.u("OCRResolution", 32);
            const auto timeStampLength = r.u("timeStampLength", 8);
            if (timeStampLength && *timeStampLength > 64) r.Fail("timeStampLength is " + std::to_string(*timeStampLength) + ", at most 64");
            const auto ocrLength = r.u("OCRLength", 8);
            if (ocrLength && *ocrLength > 64) r.Fail("OCRLength is " + std::to_string(*ocrLength) + ", at most 64");
            r.u("AU_Length", 8);
            r.u("instantBitrateLength", 8);
            r.u("degradationPriorityLength", 4);
            r.u("AU_seqNumLength", 5);
            r.u("packetSeqNumLength", 5);
            r.u("reserved", 2);
            if (duration.value_or(false)) {
                r.u("timeScale", 32);
                r.u("accessUnitDuration", 16);
                r.u("compositionUnitDuration", 16);
            }
            if (r.Ok() && !useTimeStamps.value_or(true) && *timeStampLength > 0) {
                r.u("startDecodingTimeStamp", static_cast<unsigned>(*timeStampLength));
                r.u("startCompositionTimeStamp", static_cast<unsigned>(*timeStampLength));
            }
        }
        if (r.Ok()) ReadRest(r, "extra bytes");
    }

    std::span<const std::uint8_t> bytes_;
    std::uint64_t fileOffset_;
    FieldSink* sink_;
    EsDescriptorInfo& info_;
    std::uint8_t currentObjectType_ = 0;
};

}  // namespace

EsDescriptorInfo ReadEsDescriptor(std::span<const std::uint8_t> bytes, std::uint64_t fileOffset, FieldSink* sink) {
    EsDescriptorInfo info;
    if (bytes.empty()) return info;
    DescriptorReader reader(bytes, fileOffset, sink, info);
    info.consumed = bytes.size() >= 2 ? reader.One(0, bytes.size(), 0) : 0;
    return info;
}

}  // namespace kestrova::codecs
