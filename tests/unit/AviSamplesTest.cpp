#include <gtest/gtest.h>

#include <sstream>

#include "AviFixtures.h"
#include "avi/AviSamples.h"
#include "common/Formatters.h"
#include "shell/StreamSamples.h"

namespace kestrova {
namespace {

using namespace test;

// A movi chunk whose data is `length` bytes of `fill`, so a sample's offset can be checked by its bytes.
Bytes MoviChunk(const std::string& id, std::uint8_t fill, std::size_t length) {
    return Chunk(id, Bytes(length, fill));
}

// Video stream 0 (25 fps) and audio stream 1 (MP3 frames of 1152 at 44.1 kHz), movi, then the index.
Bytes TwoStreamAvi(const std::vector<Bytes>& moviChunks, const std::vector<Bytes>& entries,
                   bool withIndex = true) {
    StreamHeaderFields audio;
    audio.type = "auds";
    audio.handler = "";
    audio.scale = 1152;
    audio.rate = 44100;
    Bytes movi = Text("movi");
    for (const Bytes& c : moviChunks) movi.insert(movi.end(), c.begin(), c.end());
    const Bytes hdrl = List("LIST", "hdrl", {Avih(), VideoStreamList({}),
                                             List("LIST", "strl", {Strh(audio), StrfAudio(0x55, 2, 44100, 16000)})});
    Bytes body = Cat({Text("AVI "), hdrl, Chunk("LIST", movi)});
    if (withIndex) body = Cat({body, Idx1(entries)});
    return Chunk("RIFF", body);
}

struct Expected {
    std::uint32_t track, number;
    std::uint64_t dts;
    std::uint32_t duration, size;
    bool key;
    std::uint8_t fill;  // the byte the sample's data starts with
};

std::vector<Expected> Listed(const SampleList& list, const Bytes& file) {
    std::vector<Expected> out;
    for (const SampleTrack& t : list.tracks)
        for (const Sample& s : t.samples)
            out.push_back({t.id, s.number, s.dts, s.duration, s.size, s.key != 0,
                           s.offset < file.size() ? file[s.offset] : std::uint8_t{0xEE}});
    return out;
}

bool operator==(const Expected& a, const Expected& b) {
    return a.track == b.track && a.number == b.number && a.dts == b.dts && a.duration == b.duration &&
           a.size == b.size && a.key == b.key && a.fill == b.fill;
}
void PrintTo(const Expected& e, std::ostream* os) {
    *os << "{track " << e.track << " #" << e.number << " dts " << e.dts << " dur " << e.duration << " size " << e.size
        << " key " << e.key << " fill " << int(e.fill) << "}";
}

const std::vector<Bytes> kChunks = {MoviChunk("00dc", 1, 10), MoviChunk("01wb", 2, 6), MoviChunk("00dc", 3, 4),
                                    MoviChunk("00dc", 4, 0),  MoviChunk("01wb", 5, 6), MoviChunk("00dc", 6, 8)};
// Chunk header offsets from the "movi" type: 4, then each chunk's 8 + length further on.
constexpr std::uint32_t kAt[] = {4, 22, 36, 48, 56, 70};

TEST(AviSamples, IndexEntriesBecomeSamplesOfTheirStreams) {
    struct Case {
        const char* name;
        bool absolute;  // offsets counted from the file's start instead of from "movi"
    };
    for (const Case c : {Case{"relative to movi", false}, Case{"absolute", true}}) {
        SCOPED_TRACE(c.name);
        // Where "movi" lies once the file is laid out; the index does not move it.
        const Bytes probe = TwoStreamAvi(kChunks, {});
        const std::uint32_t movi = static_cast<std::uint32_t>(
            std::search(probe.begin(), probe.end(), std::begin("movi"), std::end("movi") - 1) - probe.begin());
        const std::uint32_t base = c.absolute ? movi : 0;
        const Bytes file = TwoStreamAvi(kChunks, {IndexEntry("00dc", 0x10, base + kAt[0], 10),
                                                  IndexEntry("01wb", 0x10, base + kAt[1], 6),
                                                  IndexEntry("00dc", 0x00, base + kAt[2], 4),
                                                  IndexEntry("00dc", 0x00, base + kAt[3], 0),  // an empty frame
                                                  IndexEntry("01wb", 0x10, base + kAt[4], 6),
                                                  IndexEntry("00dc", 0x11, base + kAt[5], 8),  // key bit among others
                                                  IndexEntry("ix00", 0x10, 0, 0), IndexEntry("00pc", 0, 0, 0)});
        OpenedAvi avi(file);
        const std::optional<SampleList> list = BuildDocumentSampleList(avi.Doc());
        ASSERT_TRUE(list);
        EXPECT_EQ(Listed(*list, file), (std::vector<Expected>{{0, 1, 0, 1, 10, true, 1},
                                                              {0, 2, 1, 1, 4, false, 3},
                                                              {0, 3, 2, 1, 0, false, '0'},  // next header
                                                              {0, 4, 3, 1, 8, true, 6},
                                                              {1, 1, 0, 1152, 6, true, 2},
                                                              {1, 2, 1152, 1152, 6, true, 5}}));
        ASSERT_EQ(list->tracks.size(), 2u);
        EXPECT_EQ(list->tracks[0].kind, Fourcc("vids"));
        EXPECT_EQ(list->tracks[0].codec, Fourcc("XVID"));
        EXPECT_EQ(list->tracks[0].timescale, 25u);
        EXPECT_EQ(list->tracks[1].timescale, 44100u);
        EXPECT_TRUE(list->notes.empty());
        EXPECT_TRUE(list->tracks[0].notes.empty());
        // The idx1 node of the tree lists the samples.
        EXPECT_EQ(avi.Doc().Tree().Nodes()[static_cast<std::size_t>(list->tracks[0].tableNode)].caption, "idx1");
    }
}

TEST(AviSamples, WhatCannotBePlacedIsLeftOutAndSaid) {
    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::uint32_t> videoNumbers;  // the video samples listed
        std::vector<std::string> trackNotes, fileNotes;
    };
    const std::vector<Case> cases = {
        {"entries outside movi",
         TwoStreamAvi(kChunks, {IndexEntry("00dc", 0x10, kAt[0], 10), IndexEntry("00dc", 0, 5000, 4),
                                IndexEntry("00dc", 0, kAt[5], 100), IndexEntry("00dc", 0, kAt[2], 4)}),
         {1, 4},
         {"2 idx1 entries point outside the movi list or the file and are left out"},
         {}},
        {"a stream without a header",
         TwoStreamAvi(kChunks, {IndexEntry("00dc", 0x10, kAt[0], 10), IndexEntry("07dc", 0x10, kAt[2], 4)}),
         {1},
         {},
         {"1 idx1 entries name streams that have no stream header"}},
        {"no index: movi is scanned",
         TwoStreamAvi(kChunks, {}, false),
         {1, 2, 3, 4},
         {},
         {"no index: samples found by scanning movi",
          "the scan has no key-frame information: scanned samples are not marked as key"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenedAvi avi(c.file);
        const std::optional<SampleList> list = BuildDocumentSampleList(avi.Doc());
        ASSERT_TRUE(list);
        ASSERT_EQ(list->tracks.size(), 2u);
        std::vector<std::uint32_t> numbers;
        for (const Sample& s : list->tracks[0].samples) numbers.push_back(s.number);
        EXPECT_EQ(numbers, c.videoNumbers);
        EXPECT_EQ(list->tracks[0].notes, c.trackNotes);
        EXPECT_EQ(list->notes, c.fileNotes);
    }
}

TEST(AviSamples, DoubleClickLeadsToTheKeyFramesIndexLine) {
    const Bytes file = TwoStreamAvi(kChunks, {IndexEntry("00dc", 0x10, kAt[0], 10), IndexEntry("01wb", 0x10, kAt[1], 6),
                                              IndexEntry("00dc", 0x00, kAt[2], 4), IndexEntry("00dc", 0x10, kAt[5], 8)});
    OpenedAvi avi(file);
    const SampleList list = *BuildDocumentSampleList(avi.Doc());
    const SampleTrack& video = list.tracks[0];
    ASSERT_EQ(video.samples.size(), 3u);

    // The third video sample is the second key frame; its entry is the fourth of idx1.
    const std::int64_t line = ClickSampleSource(avi.Doc(), video, video.samples[2]);
    const std::vector<std::string>& lines = avi.Description();
    ASSERT_GE(line, 0);
    const std::uint64_t idx1 = avi.Parse().records[static_cast<std::size_t>(video.tableNode - 1)].offset;
    EXPECT_EQ(lines[static_cast<std::size_t>(line)], "Sample #3   : (" + Hex32Text(idx1 + 8 + 3 * 16) + ")");
    EXPECT_EQ(avi.Doc().SelectedLine(), line);

    // A frame that is not a key frame has no line of its own: the index is shown.
    EXPECT_EQ(ClickSampleSource(avi.Doc(), video, video.samples[1]), -1);
    EXPECT_EQ(avi.Doc().OffsetEditText(), UpperHexText(idx1));
    EXPECT_EQ(FindAviIndexEntry(*std::make_unique<FileSource>(avi.Doc().FilePath()), avi.Parse(), 1, 1),
              idx1 + 8 + 16);
    EXPECT_EQ(FindAviIndexEntry(*std::make_unique<FileSource>(avi.Doc().FilePath()), avi.Parse(), 1, 2), std::nullopt);
}

TEST(SamplesCsv, OneLinePerSampleAfterTheHeader) {
    SampleList list;
    SampleTrack& t = list.tracks.emplace_back();
    t.id = 2;
    t.timescale = 90000;
    Sample a;
    a.offset = 0x1'0000'0000;
    a.dts = 3003;
    a.size = 17;
    a.duration = 3003;
    a.number = 2;
    a.key = 1;
    t.samples = {a};
    std::ostringstream out;
    WriteSamplesCsv(list, out);
    EXPECT_EQ(out.str(), "track,sample,dts,timescale,duration,size,offset,key\n2,2,3003,90000,3003,17,4294967296,1\n");
}

}  // namespace
}  // namespace kestrova
