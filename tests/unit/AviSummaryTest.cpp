// The AVI file summary as FILEInfo shows it after the open, and the number
// patterns it prints rates and ratios with.

#include <algorithm>

#include <gtest/gtest.h>

#include "AviFixtures.h"
#include "avi/DisplayAviInfo.h"
#include "common/Formatters.h"
#include "common/NumberPatterns.h"

namespace kestrova::test {
namespace {

// An index with n video entries, the ones listed as key frames flagged 0x10.
Bytes IndexWithKeyFrames(std::uint32_t n, const std::vector<std::uint32_t>& keys) {
    std::vector<Bytes> entries;
    for (std::uint32_t i = 0; i < n; ++i) {
        const bool key = std::find(keys.begin(), keys.end(), i) != keys.end();
        entries.push_back(IndexEntry("00dc", key ? 0x10 : 0, 4 + 16 * i, 8));
    }
    return Idx1(entries);
}

// RIFF "AVI " claiming riffSize bytes; the walk stops at the end of the file.
Bytes RiffClaiming(std::uint32_t riffSize, const Bytes& body) {
    return Cat({Text("RIFF"), LE32(riffSize), Text("AVI "), body});
}

Bytes VideoAndAudioHeaders(const MainHeaderFields& main, const StreamHeaderFields& video, std::uint32_t audioBytesPerSec) {
    return List("LIST", "hdrl", {Avih(main), VideoStreamList(video), AudioStreamList(1, 1, 8000, audioBytesPerSec)});
}

TEST(AviSummary, AllFourSectionsOfATypicalFile) {
    MainHeaderFields main;
    main.flags = 0x110;
    main.totalFrames = 2715;
    StreamHeaderFields video;
    video.rate = 2997;
    video.scale = 100;
    video.length = 2715;
    const Bytes body = Cat({VideoAndAudioHeaders(main, video, 16000),
                            List("LIST", "INFO", {Chunk("ISFT", Cat({Text("VirtualDub"), Zeros(2)}))}),
                            IndexWithKeyFrames(91, {0, 30, 60, 90})});
    OpenedAvi avi(RiffClaiming(10'000'000, body));
    const std::string fileSize = GroupedText(avi.Doc().FileSize(), {});
    EXPECT_EQ(avi.FileInfo(), (std::vector<std::string>{
                                  "* AVI Header(AVIX) 정보",
                                  "  실제 파일의 크기   : " + fileSize + " 바이트 ",
                                  "  파일 데이터 크기   : 10,000,000 바이트",
                                  "  재생 시간 (초)     : 00:01:30.590 (91초)",
                                  "  평균 데이터 전송률 : 109 KCPS (872kbps)",
                                  "  제작툴 : VirtualDub",
                                  "",
                                  "* Video Stream 정보",
                                  "  프레임 속도        : 29.97 Frame/초",
                                  "  평균 비트 전송률   : 744kbps",
                                  "  크기 (비율)        : 320 x 240 (1.33 : 1)",
                                  "  BITMAP 크기        : 320 x 240",
                                  "  압축 코덱 (FourCC) : Xvid (MPEG-4)(XVID)",
                                  "  Stream Length      : 2,715",
                                  "",
                                  "* Audio Stream 정보",
                                  "  비트 전송률        : 128 kbps",
                                  "  샘플 비율          : 8,000 Hz",
                                  "  음악 채널 수       : 1",
                                  "  압축 코덱          : 알수 없음(code:0X0001)",
                                  "",
                                  "* 기타 정보",
                                  "  AVI 파일 속성      : 인덱스있음 AVI_ISINTERLEAVED",
                                  "  인덱스 정보        : 전체프레임-2715/키프레임-4",
                                  "  키프레임 정보      : (평균:1.0초 표준편차:0.0초 최대:1.0초)",
                              }));
    const AviSummaryInfo& s = avi.Parse().summary;
    EXPECT_EQ(s.durationSeconds, 91u);
    EXPECT_EQ(s.totalKbps, 872u);
    EXPECT_EQ(s.audioKbps, 128u);
    EXPECT_EQ(s.videoKbps, 744u);
}

TEST(AviSummary, OpenDmlPartsTimeTheFirstVideoStreamLength) {
    MainHeaderFields main;
    main.totalFrames = 100;  // counts the first RIFF only
    StreamHeaderFields video;
    video.length = 250;
    const Bytes file = Cat({List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih(main), VideoStreamList(video)})}),
                            List("RIFF", "AVIX", {List("LIST", "movi")}), List("RIFF", "AVIX", {Chunk("JUNK", Zeros(2))})});
    OpenedAvi avi(file);
    const AviSummaryInfo& s = avi.Parse().summary;
    EXPECT_EQ(s.riffAvixSize, 4u + 10);  // the last AVIX
    EXPECT_EQ(avi.FileInfo()[3], "     (AVI + AVIX)    : (" + std::to_string(s.riffAviSize) + " + 14) 바이트");
    EXPECT_EQ(avi.FileInfo()[4], "  재생 시간 (초)     : 00:00:10.000 (10초)");

    // Without a video stream the AVIX file falls back on dwTotalFrames.
    main.microSecPerFrame = 0;
    const Bytes noVideo = Cat({List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih(main), AudioStreamList(1, 2, 8000, 32000)})}),
                               List("RIFF", "AVIX")});
    OpenedAvi audioOnly(noVideo);
    EXPECT_EQ(audioOnly.FileInfoLine("  재생 시간"), "  재생 시간 (초)     : 00:00:00.000 (0초)");
    EXPECT_EQ(audioOnly.FileInfoLine("  프레임 속도"), "  프레임 속도        : -1 Frame/초");
    EXPECT_EQ(audioOnly.FileInfoLine("  압축 코덱 (FourCC)"), "");
    EXPECT_EQ(audioOnly.FileInfoLine("  Stream Length"), "");
}

TEST(AviSummary, FlagNamesInTheirOrder) {
    EXPECT_EQ(AviFlagsText(0x110), " 인덱스있음 AVI_ISINTERLEAVED");
    EXPECT_EQ(AviFlagsText(0), "");
    EXPECT_EQ(AviFlagsText(0x30130 | 0x1 | 0x800),
              " 인덱스있음 AVI_MUSTUSEINDEX AVI_ISINTERLEAVED AVI_WASCAPTUREFILE AVI_COPYRIGHTED");
    MainHeaderFields main;
    main.flags = 0;
    OpenedAvi avi(List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih(main)})}));
    EXPECT_EQ(avi.FileInfoLine("  AVI 파일 속성"), "  AVI 파일 속성      :");
}

TEST(AviSummary, KeyFrameStatistics) {
    const auto line = [](std::uint32_t rate, std::uint32_t entries, const std::vector<std::uint32_t>& keys) {
        StreamHeaderFields video;
        video.rate = rate;
        OpenedAvi avi(List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih(), VideoStreamList(video)}),
                                            IndexWithKeyFrames(entries, keys)}));
        const std::string text = avi.FileInfo().back();
        return text;
    };
    EXPECT_EQ(line(30, 91, {0, 30, 60, 90}), "  키프레임 정보      : (평균:1.0초 표준편차:0.0초 최대:1.0초)");
    // Gaps 10 and 30 around an average of 20: deviation 10 frames.
    EXPECT_EQ(line(10, 41, {0, 10, 40}), "  키프레임 정보      : (평균:2.0초 표준편차:1.0초 최대:3.0초)");
    // The average is an integer division: (25 - 5) / 3 = 6; gaps 1, 1, 18 give sqrt(194 / 3) = 8.
    EXPECT_EQ(line(4, 30, {5, 6, 7, 25}), "  키프레임 정보      : (평균:1.5초 표준편차:2.0초 최대:4.5초)");
    EXPECT_EQ(line(25, 10, {3}), "  키프레임 정보      : 1개의 키프레임만 존재합니다");
    EXPECT_EQ(line(25, 10, {}), "  인덱스 정보        : 전체프레임-0/키프레임-0");
    // Without a frame rate nothing is divided by it.
    EXPECT_EQ(line(0, 10, {0, 5}), "  키프레임 정보      : (평균:0.0초 표준편차:0.0초 최대:0.0초)");
}

TEST(AviSummary, NoDivisionByZeroAndNoWrappedRates) {
    // A video header with dwScale 0: no frame rate, no playing time, no bit rates.
    StreamHeaderFields video;
    video.scale = 0;
    MainHeaderFields main;
    main.totalFrames = 500;
    OpenedAvi avi(RiffClaiming(5'000'000, VideoAndAudioHeaders(main, video, 16000)));
    EXPECT_EQ(avi.Parse().summary.frameRate, -1.0f);
    EXPECT_EQ(avi.FileInfoLine("  재생 시간"), "  재생 시간 (초)     : 00:00:00.000 (0초)");
    EXPECT_EQ(avi.FileInfoLine("  평균 데이터"), "  평균 데이터 전송률 : 0 KCPS (0kbps)");
    EXPECT_EQ(avi.FileInfoLine("  평균 비트"), "  평균 비트 전송률   : 0kbps");
    EXPECT_EQ(avi.FileInfoLine("  비트 전송률"), "  비트 전송률        : 128 kbps");

    // dwRate 0 makes a frame rate of 0, shown as such.
    video.scale = 1;
    video.rate = 0;
    OpenedAvi still(RiffClaiming(5'000'000, VideoAndAudioHeaders(main, video, 16000)));
    EXPECT_EQ(still.FileInfoLine("  프레임 속도"), "  프레임 속도        : 0 Frame/초");
    EXPECT_EQ(still.FileInfoLine("  재생 시간"), "  재생 시간 (초)     : 00:00:00.000 (0초)");

    // A byte rate whose bit count passes 32 bits.
    video.rate = 25;
    OpenedAvi loud(RiffClaiming(5'000'000, VideoAndAudioHeaders(main, video, 0x40000000)));
    EXPECT_EQ(loud.Parse().summary.audioKbps, 8589934u);
    EXPECT_EQ(loud.FileInfoLine("  평균 비트"), "  평균 비트 전송률   : 0kbps");
}

TEST(AviSummary, FileWithoutStreamsShowsZerosAndTheCodecOfTagZero) {
    OpenedAvi avi(List("RIFF", "AVI ", {List("LIST", "hdrl", {Avih()})}));
    EXPECT_EQ(avi.FileInfoLine("  비트 전송률"), "  비트 전송률        : 0 kbps");
    EXPECT_EQ(avi.FileInfoLine("  샘플 비율"), "  샘플 비율          : 0 Hz");
    EXPECT_EQ(avi.FileInfoLine("  음악 채널 수"), "  음악 채널 수       : 0");
    EXPECT_EQ(avi.FileInfoLine("  압축 코덱   "), "  압축 코덱          : UNKNOWN (Microsoft Corporation)(000000)");
    EXPECT_EQ(avi.FileInfoLine("  크기 (비율)"), "  크기 (비율)        : 320 x 240 (0.00 : 1)");
    EXPECT_EQ(avi.FileInfoLine("  제작툴"), "  제작툴 : ");
}

TEST(AviSummary, DurationText) {
    AviSummaryInfo info;
    const RegionalSettings rs;
    EXPECT_EQ(DurationText(2715, 29.97f, info, rs), "00:01:30.590 (91초)");
    EXPECT_EQ(info.durationSeconds, 91u);
    EXPECT_EQ(DurationText(59076, 8.0f, info, rs), "02:03:04.500 (7,385초)");
    EXPECT_EQ(DurationText(1, 2.0f, info, rs), "00:00:00.500 (1초)");  // half a second rounds up
    EXPECT_EQ(DurationText(180, 25.0f, info, rs), "00:00:07.200 (7초)");
    EXPECT_EQ(DurationText(29, 100.0f, info, rs), "00:00:00.290 (0초)");
    EXPECT_EQ(DurationText(100, -1.0f, info, rs), "00:00:00.000 (0초)");
    EXPECT_EQ(info.durationSeconds, 0u);
    // The longest playing time a header can state keeps every conversion defined.
    DurationText(0xFFFFFFFF, 1.0f / 4294967296.0f, info, rs);
    EXPECT_GT(info.durationSeconds, 1e15);
}

TEST(NumberPatterns, DecimalsRoundingAndSeparator) {
    const RegionalSettings rs;
    EXPECT_EQ(UpToThreeDecimalsText(25.0f, rs), "25");
    EXPECT_EQ(UpToThreeDecimalsText(29.97f, rs), "29.97");
    EXPECT_EQ(UpToThreeDecimalsText(30000.0f / 1001.0f, rs), "29.97");
    EXPECT_EQ(UpToThreeDecimalsText(24000.0f / 1001.0f, rs), "23.976");
    EXPECT_EQ(UpToThreeDecimalsText(0.5, rs), "0.5");
    EXPECT_EQ(UpToThreeDecimalsText(0.9996, rs), "1");
    EXPECT_EQ(UpToThreeDecimalsText(0.0004, rs), "0");
    EXPECT_EQ(UpToThreeDecimalsText(-1.0f, rs), "-1");
    EXPECT_EQ(UpToThreeDecimalsText(4294967295.0, rs), "4294967295");
    EXPECT_EQ(TwoDecimalsText(4.0f / 3.0f, rs), "1.33");
    EXPECT_EQ(TwoDecimalsText(1.0, rs), "1.00");
    EXPECT_EQ(TwoDecimalsText(0.0, rs), "0.00");
    EXPECT_EQ(TwoDecimalsText(9.995, rs), "10.00");
    EXPECT_EQ(TwoDecimalsText(-640.0f / 480.0f, rs), "-1.33");
    EXPECT_EQ(OneDecimalText(0.0, rs), "0.0");
    EXPECT_EQ(OneDecimalText(1.5, rs), "1.5");
    // Halves go away from zero, as the decimal value reads.
    EXPECT_EQ(OneDecimalText(0.05, rs), "0.1");
    EXPECT_EQ(OneDecimalText(0.15, rs), "0.2");
    EXPECT_EQ(OneDecimalText(0.25, rs), "0.3");
    EXPECT_EQ(OneDecimalText(-0.25, rs), "-0.3");
    EXPECT_EQ(OneDecimalText(0.04999, rs), "0.0");
    EXPECT_EQ(OneDecimalText(-0.04, rs), "0.0");
    EXPECT_EQ(OneDecimalText(99.96, rs), "100.0");
    RegionalSettings comma;
    comma.decimalSeparator = ",";
    EXPECT_EQ(UpToThreeDecimalsText(29.97f, comma), "29,97");
    EXPECT_EQ(OneDecimalText(2.0, comma), "2,0");
}

}  // namespace
}  // namespace kestrova::test
