#include "support/Ffprobe.h"

#include <nlohmann/json.hpp>

#include "support/Process.h"

namespace kestrova::test {

std::vector<ProbedStream> ProbePackets(const std::string& path) {
    using Json = nlohmann::json;
    const auto r = Run("ffprobe -v error -of json -show_streams -show_packets " + ShellQuote(path));
    const Json probe = Json::parse(r.output, nullptr, false);
    std::vector<ProbedStream> streams;
    if (!probe.is_object()) return streams;
    for (const Json& s : probe.value("streams", Json::array())) {
        ProbedStream p;
        p.trackId = static_cast<std::uint32_t>(
            s.contains("id") ? std::stoul(s["id"].get<std::string>(), nullptr, 16) : streams.size());
        p.type = s.value("codec_type", "");
        const std::string tb = s.value("time_base", "1/1");
        p.tbNum = std::stoll(tb.substr(0, tb.find('/')));
        p.tbDen = std::stoll(tb.substr(tb.find('/') + 1));
        streams.push_back(p);
    }
    for (const Json& p : probe.value("packets", Json::array())) {
        const auto index = p.value("stream_index", std::size_t{0});
        if (index >= streams.size()) continue;
        ProbedPacket packet;
        packet.dts = p.value("dts", std::int64_t{0});
        packet.pts = p.value("pts", packet.dts);
        packet.size = std::stoull(p.value("size", std::string("0")));
        packet.pos = std::stoull(p.value("pos", std::string("0")));
        packet.key = p.value("flags", std::string("_")).front() == 'K';
        streams[index].packets.push_back(packet);
    }
    return streams;
}

}  // namespace kestrova::test
