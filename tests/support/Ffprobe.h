#pragma once
// What `ffprobe -show_streams -show_packets` reads of a file: the test oracle
// for sample lists.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova::test {

struct ProbedPacket {
    std::int64_t dts = 0, pts = 0;  // in the stream's time base
    std::uint64_t size = 0, pos = 0;
    bool key = false;
};

struct ProbedStream {
    std::uint32_t trackId = 0;  // the MP4 track ID ffprobe gives as "id", else the stream index
    std::string type;           // codec_type
    std::int64_t tbNum = 1, tbDen = 1;
    std::vector<ProbedPacket> packets;
};

// Empty when ffprobe cannot read the file.
std::vector<ProbedStream> ProbePackets(const std::string& path);

}  // namespace kestrova::test
