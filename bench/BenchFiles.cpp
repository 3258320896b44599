#include "BenchFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef KESTROVA_BENCH_FILES_DIR
#define KESTROVA_BENCH_FILES_DIR "bench-files"
#endif

namespace kestrova::bench {
namespace {

namespace fs = std::filesystem;

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

bool RunQuiet(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string MakeTwoHourMp4() {
    const fs::path dir = KESTROVA_BENCH_FILES_DIR;
    const fs::path target = dir / "two-hours.mp4";
    std::error_code ec;
    if (fs::exists(target, ec)) return target.string();
    fs::create_directories(dir, ec);
    if (!RunQuiet("ffmpeg -version")) {
        std::fprintf(stderr, "ffmpeg is not installed; the two-hour file cannot be made\n");
        return {};
    }
    const fs::path clip = dir / "two-hours-clip.mp4";
    const fs::path partial = dir / "two-hours.partial.mp4";
    // Ten seconds of a tiny picture and a tone; -bf 2 keeps B-frames, and a GOP
    // of 50 gives a key frame every two seconds.
    const std::string makeClip =
        "ffmpeg -y -f lavfi -i testsrc2=size=64x36:rate=25:duration=10 "
        "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 "
        "-c:v libx264 -preset ultrafast -bf 2 -g 50 -pix_fmt yuv420p "
        "-c:a aac -b:a 32k -ar 48000 -shortest " + Quote(clip.string());
    const std::string loop = "ffmpeg -y -stream_loop -1 -i " + Quote(clip.string()) +
                             " -t 7200 -c copy -f mp4 " + Quote(partial.string());
    if (!RunQuiet(makeClip) || !RunQuiet(loop)) {
        std::fprintf(stderr, "ffmpeg could not make the two-hour file in %s\n", dir.string().c_str());
        return {};
    }
    fs::rename(partial, target, ec);
    fs::remove(clip, ec);
    return fs::exists(target, ec) ? target.string() : std::string{};
}

// The two-hour file remuxed by stream copy with these mp4 options.
std::string Remux(const std::string& name, const std::string& options) {
    const std::string& source = TwoHourMp4Path();
    if (source.empty()) return {};
    const fs::path dir = KESTROVA_BENCH_FILES_DIR;
    const fs::path target = dir / name;
    std::error_code ec;
    if (fs::exists(target, ec)) return target.string();
    const fs::path partial = dir / ("partial-" + name);
    if (!RunQuiet("ffmpeg -y -i " + Quote(source) + " -c copy " + options + " -f mp4 " + Quote(partial.string()))) {
        std::fprintf(stderr, "ffmpeg could not make %s\n", target.string().c_str());
        return {};
    }
    fs::rename(partial, target, ec);
    return fs::exists(target, ec) ? target.string() : std::string{};
}

}  // namespace

const std::string& TwoHourMp4Path() {
    static const std::string path = MakeTwoHourMp4();
    return path;
}

const std::string& TwoHourFragmentedMp4Path() {
    static const std::string path =
        Remux("two-hours-fragmented.mp4", "-movflags frag_keyframe+empty_moov+default_base_moof");
    return path;
}

const std::string& LongRunsMp4Path() {
    static const std::string path =
        Remux("long-runs.mp4", "-t 120 -movflags empty_moov+default_base_moof -frag_duration 40000000");
    return path;
}

}  // namespace kestrova::bench
