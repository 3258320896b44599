// The AVI file summary: sizes and playing time, the video stream, the audio
// stream, and the header flags with the key-frame statistics. It works from
// memory only and derives the playing time and bit rates each time.

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "avi/DisplayAviInfo.h"
#include "common/Formatters.h"
#include "common/NumberPatterns.h"

namespace kestrova {
namespace {

constexpr std::uint32_t kVids = Fourcc("vids");

// "%d" of the value.
std::string Dec(std::int32_t v) { return std::to_string(v); }

// The first video stream header of the file, if any.
const AviStreamRecord* FirstVideoStream(const AviParse& parse) {
    for (std::uint32_t n = 0; n < parse.streamCounter; ++n) {
        const AviStreamRecord& s = parse.Stream(n);
        if (s.fccType == kVids) return &s;
    }
    return nullptr;
}

// Seconds of a count of frames; nothing is divided by a rate that is not positive.
double PerRate(double frames, float rate) { return rate > 0 ? frames / rate : 0.0; }

std::string KeyFrameLine(const std::vector<std::uint32_t>& k, float rate, const RegionalSettings& rs) {
    const std::string label = "  키프레임 정보      : ";
    const std::size_t n = k.size();
    if (n == 1) return label + "1개의 키프레임만 존재합니다";
    const std::uint64_t average = (std::uint64_t{k[n - 1]} - k[0]) / (n - 1);
    std::int64_t prev = k[0];
    std::int64_t max = 0;
    std::uint64_t sum = 0;
    for (std::size_t i = 1; i < n; ++i) {
        const std::int64_t gap = std::int64_t{k[i]} - prev;
        if (gap > max) max = gap;
        const double diff = static_cast<double>(static_cast<std::int64_t>(average) - gap);
        const double square = std::trunc(diff * diff);
        const std::uint64_t add = square >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(square);
        sum = add > UINT64_MAX - sum ? UINT64_MAX : sum + add;
        prev = k[i];
    }
    const double deviation = std::trunc(std::sqrt(static_cast<double>(sum / (n - 1))));
    return label + "(평균:" + OneDecimalText(PerRate(static_cast<double>(average), rate), rs) +
           "초 표준편차:" + OneDecimalText(PerRate(deviation, rate), rs) +
           "초 최대:" + OneDecimalText(PerRate(static_cast<double>(max), rate), rs) + "초)";
}

}  // namespace

std::string AviFlagsText(std::uint32_t flags) {
    static const struct {
        std::uint32_t bit;
        const char* name;
    } kFlags[] = {
        {0x10, " 인덱스있음"},
        {0x20, " AVI_MUSTUSEINDEX"},
        {0x100, " AVI_ISINTERLEAVED"},
        {0x10000, " AVI_WASCAPTUREFILE"},
        {0x20000, " AVI_COPYRIGHTED"},
    };
    std::string text;
    for (const auto& f : kFlags)
        if (flags & f.bit) text += f.name;
    return text;
}

std::string DurationText(std::uint32_t frames, float rate, AviSummaryInfo& info, const RegionalSettings& rs) {
    std::uint64_t hours = 0, minutes = 0, seconds = 0, ms = 0;
    info.durationSeconds = 0;
    if (rate > 0) {
        // In double precision, and with a margin far below a microsecond, so
        // that 180 frames at 25 per second show as 7.200 s and not 7.199 s.
        double x = static_cast<double>(frames) / rate;
        // Far beyond any real playing time, but every conversion below must stay defined.
        if (x > 1.8e16) x = 1.8e16;
        const std::uint64_t totalMs = static_cast<std::uint64_t>(x * 1000.0 + 1e-6);
        info.durationSeconds = static_cast<std::uint64_t>(x + 0.5);
        ms = totalMs % 1000;
        const std::uint64_t s = totalMs / 1000;
        seconds = s % 60;
        minutes = s / 60 % 60;
        hours = s / 3600;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%02" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64 " ", hours, minutes,
                  seconds, ms);
    return std::string(text) + "(" + GroupedText(info.durationSeconds, rs) + "초)";
}

void ShowAviSummary(DocumentView& view, AviParse& parse, std::uint32_t fileKind) {
    view.ClearFileInfo();
    if (!(fileKind & kFileKindAvi)) return;
    const RegionalSettings& rs = view.Settings();
    AviSummaryInfo& info = parse.summary;
    const AviMainHeader& main = info.mainHeader;
    const AviStreamRecord* video = FirstVideoStream(parse);

    view.AddFileInfoLine("* AVI Header(AVIX) 정보");
    view.AddFileInfoLine("  실제 파일의 크기   : " + GroupedText(info.fileSize, rs) + " 바이트 ");
    const std::uint64_t total = std::uint64_t{info.riffAviSize} + info.riffAvixSize;
    view.AddFileInfoLine("  파일 데이터 크기   : " + GroupedText(total, rs) + " 바이트");
    std::uint32_t frames = main.dwTotalFrames;
    if (info.riffAvixSize != 0) {
        view.AddFileInfoLine("     (AVI + AVIX)    : (" + GroupedText(info.riffAviSize, rs) + " + " +
                             GroupedText(info.riffAvixSize, rs) + ") 바이트");
        // dwTotalFrames counts the first RIFF only; the stream length covers all parts.
        if (video) frames = video->dwLength;
    }
    view.AddFileInfoLine("  재생 시간 (초)     : " + DurationText(frames, info.frameRate, info, rs));
    info.totalKbps = info.durationSeconds != 0
                         ? static_cast<std::uint32_t>(total / info.durationSeconds / 1000 * 8)
                         : 0;
    const std::int32_t totalKbps = static_cast<std::int32_t>(info.totalKbps);
    view.AddFileInfoLine("  평균 데이터 전송률 : " + Dec(totalKbps / 8) + " KCPS (" + GroupedSignedText(totalKbps, rs) +
                         "kbps)");
    view.AddFileInfoLine("  제작툴 : " + info.toolName);

    info.audioKbps = static_cast<std::uint32_t>(std::uint64_t{info.audioFormat.nAvgBytesPerSec} * 8 / 1000);
    info.videoKbps = info.totalKbps > info.audioKbps ? info.totalKbps - info.audioKbps : 0;
    view.AddFileInfoLine("\n* Video Stream 정보");
    view.AddFileInfoLine("  프레임 속도        : " + UpToThreeDecimalsText(info.frameRate, rs) + " Frame/초");
    view.AddFileInfoLine("  평균 비트 전송률   : " + GroupedText(info.videoKbps, rs) + "kbps");
    view.AddFileInfoLine("  크기 (비율)        : " + Dec(static_cast<std::int32_t>(main.dwWidth)) + " x " +
                         Dec(static_cast<std::int32_t>(main.dwHeight)) + " (" +
                         TwoDecimalsText(info.aspectRatio, rs) + " : 1)");
    view.AddFileInfoLine("  BITMAP 크기        : " + Dec(info.videoFormat.biWidth) + " x " +
                         Dec(info.videoFormat.biHeight));
    if (video) {
        view.AddFileInfoLine("  압축 코덱 (FourCC) : " + VideoCodecText(video->fccHandler));
        view.AddFileInfoLine("  Stream Length      : " + GroupedText(video->dwLength, rs));
    }

    const AviAudioFormat& audio = info.audioFormat;
    view.AddFileInfoLine("\n* Audio Stream 정보");
    view.AddFileInfoLine("  비트 전송률        : " + Dec(static_cast<std::int32_t>(info.audioKbps)) + " kbps");
    view.AddFileInfoLine("  샘플 비율          : " + GroupedText(audio.nSamplesPerSec, rs) + " Hz");
    view.AddFileInfoLine("  음악 채널 수       : " + Dec(audio.nChannels));
    view.AddFileInfoLine("  압축 코덱          : " + AudioFormatText(audio.wFormatTag));

    view.AddFileInfoLine("\n* 기타 정보");
    view.AddFileInfoLine("  AVI 파일 속성      :" + AviFlagsText(main.dwFlags));
    view.AddFileInfoLine("  인덱스 정보        : 전체프레임-" + Dec(static_cast<std::int32_t>(main.dwTotalFrames)) +
                         "/키프레임-" + Dec(static_cast<std::int32_t>(info.keyFrameCount)));
    if (!info.keyFrameOrdinals.empty())
        view.AddFileInfoLine(KeyFrameLine(info.keyFrameOrdinals, info.frameRate, rs));
}

}  // namespace kestrova
