// Audio configurations of files ffmpeg writes with each encoder, and of the
// real files where present, read by the codec layer and compared with what
// ffprobe -show_streams and mediainfo (when installed) say of the stream;
// every line of the clicked box lights bytes that hold its value.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include <nlohmann/json.hpp>

#include "codecs/AudioConfigs.h"
#include "codecs/Mpeg4Audio.h"
#include "common/FileSource.h"
#include "common/Formatters.h"
#include "iso/full/FullParse.h"
#include "shell/Document.h"
#include "support/BoxWriter.h"
#include "support/Process.h"
#include "support/RangeChecker.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::ShellQuote;

// What the configuration box says, in ffprobe's terms.
struct Reading {
    bool read = false;
    std::string codec;    // ffprobe's codec_name
    std::string profile;  // ffprobe's profile; "" when it names none
    std::string features;  // mediainfo's Format_AdditionalFeatures for AAC
    std::uint32_t sampleRate = 0;
    std::uint32_t channels = 0;
    std::uint32_t bits = 0;  // 0 when the configuration does not say
    std::string layout;      // the layout's first word where the configuration names one ("5.1")
    int lfe = -1;            // whether an LFE channel is signalled; -1 when not said
};

Reading ReadConfig(const std::string& type, const std::vector<std::uint8_t>& body, std::uint64_t offset) {
    Reading r;
    const std::span<const std::uint8_t> all(body);
    // esds, dfLa and alac are full boxes: their configuration follows version and flags.
    const std::span<const std::uint8_t> afterFlags = all.subspan(std::min<std::size_t>(4, all.size()));
    if (type == "esds") {
        const codecs::EsDescriptorInfo es = codecs::ReadEsDescriptor(afterFlags, offset + 4, nullptr);
        const codecs::Mpeg4AudioConfig& a = es.audio;
        r.read = es.hasAudioConfig;
        r.codec = "aac";
        r.profile = a.profile == "AAC LC" ? "LC" : a.profile == "HE-AAC (SBR)" ? "HE-AAC" : a.profile == "HE-AAC v2 (PS)" ? "HE-AACv2" : a.profile;
        r.features = a.coreObjectType == 2 ? std::string("LC") + (a.sbr == 1 ? " SBR" : "") + (a.ps == 1 ? " PS" : "") : "";
        r.sampleRate = a.OutputSampleRate();
        r.channels = a.OutputChannels();
    } else if (type == "dOps") {
        const codecs::OpusConfig o = codecs::ReadOpusConfig(all, offset, nullptr);
        r.read = o.read;
        r.codec = "opus";
        r.sampleRate = 48000;
        r.channels = o.outputChannelCount;
        const std::string layout = codecs::OpusChannelLayout(o.channelMappingFamily, o.outputChannelCount);
        r.layout = layout.substr(0, layout.find(' '));
    } else if (type == "dfLa") {
        const codecs::FlacConfig f = codecs::ReadFlacMetadata(afterFlags, offset + 4, nullptr);
        r.read = f.hasStreamInfo;
        r.codec = "flac";
        r.sampleRate = f.sampleRate;
        r.channels = f.channels;
        r.bits = f.bitsPerSample;
    } else if (type == "dac3") {
        const codecs::Ac3Config a = codecs::ReadAc3Config(all, offset, nullptr);
        r.read = a.read;
        r.codec = "ac3";
        r.sampleRate = a.sampleRate;
        r.channels = a.channels;
        r.lfe = a.lfeon;
    } else if (type == "dec3") {
        const codecs::Eac3Config e = codecs::ReadEac3Config(all, offset, nullptr);
        r.read = e.read;
        r.codec = "eac3";
        r.sampleRate = e.sampleRate;
        r.channels = e.channels;
        r.lfe = e.substreams[0].lfeon;
    } else if (type == "alac") {
        const codecs::AlacConfig a = codecs::ReadAlacConfig(afterFlags, offset + 4, nullptr);
        r.read = a.read;
        r.codec = "alac";
        r.sampleRate = a.sampleRate;
        r.channels = a.numChannels;
        r.bits = a.bitDepth;
    }
    return r;
}

// The configuration box of the first audio entry: its record index, or -1.
std::int32_t ConfigRecord(const full::FullParse& parse, const std::string& type) {
    std::uint32_t code = 0;
    for (const char c : type) code = code << 8 | static_cast<std::uint8_t>(c);
    for (const full::FullRecord& rec : parse.records) {
        if (rec.type != code || rec.parent < 0) continue;
        // alac is both the sample entry and the box inside it (or inside QuickTime's wave).
        const std::uint32_t parent = parse.records[static_cast<std::size_t>(rec.parent)].type;
        if (type == "alac" && parent != code && parent != Fourcc("wave")) continue;
        return rec.index;
    }
    return -1;
}

std::string MediainfoAudio(const Json& info, const std::string& field) {
    for (const Json& track : info["media"]["track"])
        if (track.value("@type", "") == "Audio") return track.value(field, "");
    return "";
}

struct AudioFile {
    const char* name;
    const char* args;         // ffmpeg's, after the input; "" for a real file
    const char* configType;
    // Where ffprobe and the bytes disagree, the bytes win: the channels ffprobe reports instead; 0 when it agrees.
    std::uint32_t ffprobeChannels = 0;
    bool ffprobeDecodes = true;  // ffprobe opens the stream at all
};

void CheckFile(const std::string& path, const AudioFile& f) {
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(path);
    ASSERT_NE(doc.Full(), nullptr) << path;
    const std::int32_t index = ConfigRecord(*doc.Full(), f.configType);
    ASSERT_GE(index, 0) << "no " << f.configType;
    const full::FullRecord& rec = doc.Full()->records[static_cast<std::size_t>(index)];
    std::vector<std::uint8_t> body;
    FileSource file(path);
    ASSERT_FALSE(file.ReadAt(rec.BodyOffset(), rec.BodyLength(), body));  // true means a short read
    const Reading ours = ReadConfig(f.configType, body, rec.BodyOffset());
    ASSERT_TRUE(ours.read);

    if (f.ffprobeDecodes) {
        const Json probe =
            Json::parse(test::Run("ffprobe -v quiet -print_format json -show_streams -select_streams a:0 " + ShellQuote(path)).output);
        ASSERT_FALSE(probe["streams"].empty());
        const Json& s = probe["streams"][0];
        EXPECT_EQ(s.value("codec_name", ""), ours.codec);
        EXPECT_EQ(s.value("profile", ""), ours.profile);
        EXPECT_EQ(s.value("sample_rate", ""), std::to_string(ours.sampleRate));
        EXPECT_EQ(s.value("channels", 0u), f.ffprobeChannels ? f.ffprobeChannels : ours.channels);
        if (ours.bits) {
            EXPECT_EQ(s.value("bits_per_raw_sample", ""), std::to_string(ours.bits));
        }
        const std::string layout = s.value("channel_layout", "");
        if (!ours.layout.empty()) {
            EXPECT_EQ(layout, ours.layout);
        }
        if (ours.lfe >= 0) {
            EXPECT_EQ(layout.find(".1") != std::string::npos, ours.lfe == 1) << layout;
        }
    }
    if (test::HaveTool("mediainfo")) {
        const Json info = Json::parse(test::Run("mediainfo --Output=JSON " + ShellQuote(path)).output);
        EXPECT_EQ(MediainfoAudio(info, "SamplingRate"), std::to_string(ours.sampleRate));
        // mediainfo leaves the channels of Opus unsaid.
        if (const std::string channels = MediainfoAudio(info, "Channels"); !channels.empty()) {
            EXPECT_EQ(channels, std::to_string(ours.channels));
        }
        // mediainfo reads no bit depth from an ALAC cookie inside QuickTime's wave.
        if (const std::string bits = MediainfoAudio(info, "BitDepth"); ours.bits && !bits.empty()) {
            EXPECT_EQ(bits, std::to_string(ours.bits));
        }
        if (!ours.features.empty()) {
            EXPECT_EQ(MediainfoAudio(info, "Format_AdditionalFeatures"), ours.features);
        }
    }

    // The click shows the rate the configuration says, and every value lights its own bits.
    doc.TreeView1Click(index + 1);
    const std::vector<std::string>& lines = doc.BoxDescriptionPane().Lines();
    const std::string rate = std::to_string(ours.sampleRate) + " Hz";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(rate) != std::string::npos; }))
        << "no line says " << rate;
    EXPECT_EQ(test::CheckPaneRanges(doc, f.configType), std::vector<std::string>{});
}

class AudioConfigFfmpeg : public ::testing::TestWithParam<AudioFile> {};

TEST_P(AudioConfigFfmpeg, AgreesWithFfprobeAndMediainfo) {
    if (!test::HaveTool("ffmpeg") || !test::HaveTool("ffprobe")) GTEST_SKIP() << "ffmpeg is not installed";
    const AudioFile& f = GetParam();
    test::TempFile dir({}, "unused");
    const std::string path = fs::path(dir.Path()).parent_path() / f.name;
    const std::string make = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=48000:duration=0.2 " +
                             std::string(f.args) + " " + ShellQuote(path);
    const test::ProcessResult made = test::Run(make, true);
    if (made.exitCode != 0 && made.output.find("Unknown encoder") != std::string::npos)
        GTEST_SKIP() << "this ffmpeg lacks the encoder: " << made.output;
    ASSERT_EQ(made.exitCode, 0) << make << "\n" << made.output;
    CheckFile(path, f);
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, AudioConfigFfmpeg,
    ::testing::Values(AudioFile{"opus_mono.mp4", "-ac 1 -c:a libopus", "dOps"},
                      AudioFile{"opus_stereo.mp4", "-ac 2 -c:a libopus", "dOps"},
                      AudioFile{"opus_51.mp4", "-af 'pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0' -c:a libopus", "dOps"},
                      AudioFile{"flac_16.mp4", "-ac 2 -c:a flac -strict -2", "dfLa"},
                      AudioFile{"flac_24.mp4", "-ac 2 -c:a flac -sample_fmt s32 -strict -2", "dfLa"},
                      AudioFile{"ac3_51.mp4", "-af 'pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0' -c:a ac3", "dac3"},
                      AudioFile{"eac3.mp4", "-ac 2 -c:a eac3", "dec3"},
                      AudioFile{"alac.m4a", "-ac 2 -c:a alac", "alac"},
                      AudioFile{"alac.mov", "-ac 2 -c:a alac", "alac"},
                      AudioFile{"aac_lc.mp4", "-ac 2 -c:a aac", "esds"},
                      // QuickTime keeps the esds inside a wave box.
                      AudioFile{"aac_lc.mov", "-ac 1 -c:a aac", "esds"}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(AudioConfigCorpus, RealFilesAgreeWithFfprobeAndMediainfo) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    if (!test::HaveTool("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    const std::vector<AudioFile> files = {
        // Mono HE-AAC: ffprobe's decoder makes two channels in case parametric stereo
        // follows; the configuration says one channel, and so does mediainfo.
        {"m4a_he-aac-sbr_22k_mono_libfdk.m4a", "", "esds", 2},
        {"m4a_he-aacv2-ps_22k_stereo_libfdk.m4a", "", "esds"},
        {"m4a_aac-lc_16k_6ch_libfdk.m4a", "", "esds"},
        // This ffprobe cannot open USAC at all; mediainfo reads it.
        {"mp4_xhe-aac-usac_iods_csgp.mp4", "", "esds", 0, false},
        {"m4a_ac-3_dac3.m4a", "", "dac3"},
        {"m4a_ec-3_dec3.m4a", "", "dec3"},
        {"m4a_flac_dfLa.m4a", "", "dfLa"},
        {"m4a_alac.m4a", "", "alac"},
        {"m4a_opus_dOps.m4a", "", "dOps"},
    };
    for (const AudioFile& f : files) {
        const fs::path path = fs::path(corpus) / f.name;
        if (!fs::exists(path)) continue;
        SCOPED_TRACE(f.name);
        CheckFile(path.string(), f);
    }
}

// Every audio configuration box of every real file, damaged ones among them:
// each line with a value lights the bits that hold it.
TEST(AudioConfigCorpus, EveryConfigurationBoxLightsItsValues) {
    const std::string corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus folder";
    const std::set<std::uint32_t> types = {Fourcc("esds"), Fourcc("dOps"), Fourcc("dfLa"), Fourcc("dac3"), Fourcc("dec3"),
                                           Fourcc("dac4"), Fourcc("alac"), Fourcc("damr"), Fourcc("devc"), Fourcc("frma"),
                                           Fourcc("wave")};
    int clicked = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".avi" || ext == ".tsv" || ext == ".md") continue;
        Document doc;
        doc.SetView(ViewKind::Full);
        doc.OpenFile(entry.path().string());
        if (doc.Full() == nullptr) continue;
        for (const full::FullRecord& rec : doc.Full()->records) {
            if (!types.count(rec.type)) continue;
            doc.TreeView1Click(rec.index + 1);
            EXPECT_EQ(test::CheckPaneRanges(doc, entry.path().filename().string() + " " + FourccText(rec.type)),
                      std::vector<std::string>{});
            ++clicked;
        }
    }
    EXPECT_GT(clicked, 20);
}

}  // namespace
}  // namespace kestrova
