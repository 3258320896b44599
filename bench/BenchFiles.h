#pragma once
// Media files the benchmarks share, made with ffmpeg on first use and kept in
// the build folder, so that later runs start at once.

#include <string>

namespace kestrova::bench {

// A two-hour MP4: H.264 at 25 fps with B-frames (180,000 samples) and AAC at
// 48 kHz (337,500 samples), a short tiny clip looped by stream copy. Empty
// when ffmpeg is missing or fails; the reason then goes to standard error.
const std::string& TwoHourMp4Path();

// The two-hour MP4 remuxed into fragments, one moof per key frame (every two
// seconds: about 3,600 moofs) with default-base-is-moof.
const std::string& TwoHourFragmentedMp4Path();

// Its first two minutes in fragments of 40 seconds: runs of 1,000 video samples.
const std::string& LongRunsMp4Path();

}  // namespace kestrova::bench
