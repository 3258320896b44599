#include "SampleList.h"

#include <charconv>

namespace kestrova {

void WriteSamplesCsv(const SampleList& list, std::ostream& out) {
    out << "track,sample,dts,timescale,duration,size,offset,key\n";
    std::string line;
    char number[24];
    auto put = [&](std::uint64_t v, char after) {
        const auto end = std::to_chars(number, number + sizeof number, v).ptr;
        line.append(number, end);
        line += after;
    };
    for (const SampleTrack& track : list.tracks) {
        for (const Sample& s : track.samples) {
            line.clear();
            put(track.id, ',');
            put(s.number, ',');
            const auto known = [&](std::uint64_t v, std::uint64_t unknown) {
                if (v != unknown) put(v, ',');
                else line += ',';
            };
            known(s.dts, kUnknownSamplePlace);
            put(track.timescale, ',');
            known(s.duration, kUnknownSampleValue);
            known(s.size, kUnknownSampleValue);
            known(s.offset, kUnknownSamplePlace);
            put(s.key, '\n');
            out << line;
        }
    }
}

}  // namespace kestrova
