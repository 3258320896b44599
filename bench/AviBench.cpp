// The AVI full view side by side with the classic one: opening a two-hour AVI
// (mpeg4 and MP3, a short clip looped by stream copy) with its summary; the
// sample list from an OpenDML index of 500,000 entries; a scan of a 1 GiB movi
// without any index. The last two files are sparse: only their headers and
// indexes are written. `bash bench/compare-open.sh FILE` times the two-hour
// AVI against mediainfo (the file is kept in the folder named below).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "avi/AviIndexes.h"
#include "shell/Document.h"
#include "shell/StreamSamples.h"
#include "support/BoxWriter.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using namespace test;

fs::path Folder() {
    const fs::path dir = fs::temp_directory_path() / "kestrova-bench-avi";
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

// Writes bytes at offset into a file of the given size (holes elsewhere).
bool WriteSparse(const fs::path& path, std::uint64_t size, const std::vector<std::pair<std::uint64_t, Bytes>>& pieces) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    for (const auto& [at, bytes] : pieces) {
        if (fseeko(f, static_cast<off_t>(at), SEEK_SET) != 0) break;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    }
    std::fclose(f);
    std::error_code ec;
    fs::resize_file(path, size, ec);
    return !ec;
}

Bytes LE64(std::uint64_t v) { return Cat({LE32(static_cast<std::uint32_t>(v)), LE32(static_cast<std::uint32_t>(v >> 32))}); }

// The header lists of a one-stream file, with a super index entry pointing at ix.
Bytes Header(std::uint64_t ixAt, std::uint32_t ixSize, std::uint32_t entries, std::uint64_t fileSize) {
    const Bytes strh = Chunk("strh", Cat({Text("vids"), Text("FMP4"), Zeros(12), LE32(1), LE32(25), Zeros(24)}));
    const Bytes strf = Chunk("strf", Cat({LE32(40), LE32(64), LE32(36), LE16(1), LE16(24), Text("FMP4"), Zeros(20)}));
    const Bytes indx = Chunk("indx", Cat({LE16(4), U8(0), U8(0), LE32(ixAt ? 1 : 0), Text("00dc"), Zeros(12), LE64(ixAt),
                                          LE32(ixSize), LE32(entries)}));
    const Bytes hdrl = List("LIST", "hdrl", {Chunk("avih", Zeros(56)), List("LIST", "strl", {strh, strf, indx})});
    const Bytes riff = Cat({Text("RIFF"), LE32(static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSize - 8, 0xFFFFFFFF))),
                            Text("AVI "), hdrl});
    return riff;
}

// 500,000 chunks of 1,000 bytes in movi, then the ix00 that indexes them all.
const std::string& OpenDmlFile() {
    static const std::string path = [] {
        constexpr std::uint32_t kEntries = 500'000, kChunk = 1000;
        const fs::path p = Folder() / "opendml-500k.avi";
        const std::uint64_t headerSize = Header(0, 0, 0, 0).size();
        const std::uint64_t moviAt = headerSize;
        const std::uint64_t moviSize = 4 + std::uint64_t{kEntries} * (8 + kChunk);
        const std::uint64_t ixAt = moviAt + 8 + moviSize;
        const std::uint32_t ixSize = 24 + 8 * kEntries;
        const std::uint64_t fileSize = ixAt + 8 + ixSize;
        Bytes ix = Cat({Text("ix00"), LE32(ixSize), LE16(2), U8(0), U8(1), LE32(kEntries), Text("00dc"), LE64(moviAt), LE32(0)});
        ix.reserve(ix.size() + 8ull * kEntries);
        for (std::uint32_t k = 0; k < kEntries; ++k) {
            const Bytes e = Cat({LE32(12 + 8 + k * (8 + kChunk)), LE32(k % 50 == 0 ? kChunk : kChunk | 0x80000000u)});
            ix.insert(ix.end(), e.begin(), e.end());
        }
        const Bytes movi = Cat({Text("LIST"), LE32(static_cast<std::uint32_t>(moviSize)), Text("movi")});
        return WriteSparse(p, fileSize, {{0, Header(ixAt, ixSize, kEntries, fileSize)}, {moviAt, movi}, {ixAt, ix}}) ? p.string()
                                                                                                             : std::string();
    }();
    return path;
}

// A 1 GiB movi of 40,000-byte video and 4,000-byte audio chunks in turn, no index.
const std::string& UnindexedGibFile() {
    static const std::string path = [] {
        const fs::path p = Folder() / "movi-1gib.avi";
        const std::uint64_t moviAt = Header(0, 0, 0, 0).size();
        const std::uint64_t moviSize = 1ull << 30;
        std::vector<std::pair<std::uint64_t, Bytes>> pieces{
            {0, Header(0, 0, 0, moviAt + 8 + moviSize)},
            {moviAt, Cat({Text("LIST"), LE32(static_cast<std::uint32_t>(moviSize)), Text("movi")})}};
        std::uint64_t at = moviAt + 12;
        for (std::uint64_t k = 0;; ++k) {
            const std::uint32_t size = k % 2 ? 4000 : 40000;
            if (at + 8 + size > moviAt + 8 + moviSize) break;
            pieces.emplace_back(at, Cat({Text(k % 2 ? "01wb" : "00dc"), LE32(size)}));
            at += 8 + size;
        }
        return WriteSparse(p, moviAt + 8 + moviSize, pieces) ? p.string() : std::string();
    }();
    return path;
}

const std::string& TwoHourAvi() {
    static const std::string path = [] {
        const fs::path p = Folder() / "two-hours.avi", clip = Folder() / "two-hours-clip.avi";
        std::error_code ec;
        if (fs::exists(p, ec)) return p.string();
        const std::string make = "ffmpeg -y -v error -f lavfi -i testsrc2=size=64x36:rate=25:duration=10 "
                                 "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=10 -c:v mpeg4 -g 50 "
                                 "-c:a libmp3lame -b:a 32k -ar 48000 -shortest '" + clip.string() + "' && "
                                 "ffmpeg -y -v error -stream_loop -1 -i '" + clip.string() + "' -t 7200 -c copy -f avi '" +
                                 p.string() + "'";
        if (std::system((make + " >/dev/null 2>&1").c_str()) != 0) return std::string();
        return p.string();
    }();
    return path;
}

void OpenTwoHours(benchmark::State& state, ViewKind view) {
    const std::string& path = TwoHourAvi();
    if (path.empty()) return state.SkipWithError("ffmpeg could not make the two-hour AVI");
    for (auto _ : state) {
        Document doc;
        doc.SetView(view);
        doc.OpenFile(path);
        benchmark::DoNotOptimize(doc.FileInfoPane().Lines().size());
    }
}
void BM_AviOpenTwoHoursClassic(benchmark::State& state) { OpenTwoHours(state, ViewKind::Classic); }
void BM_AviOpenTwoHoursFull(benchmark::State& state) { OpenTwoHours(state, ViewKind::Full); }
BENCHMARK(BM_AviOpenTwoHoursClassic)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AviOpenTwoHoursFull)->Unit(benchmark::kMillisecond);

// Target: under 100 ms.
void BM_AviSampleListOpenDml500k(benchmark::State& state) {
    const std::string& path = OpenDmlFile();
    if (path.empty()) return state.SkipWithError("the sparse OpenDML file could not be written");
    FileSource file(path);
    std::size_t samples = 0;
    for (auto _ : state) {
        const AviSamples s = ReadAviSamples(file, ReadAviLayout(file));
        samples = s.list.tracks.empty() ? 0 : s.list.tracks[0].samples.size();
        benchmark::DoNotOptimize(samples);
    }
    if (samples != 500'000) state.SkipWithError("the index did not give 500,000 samples");
    state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK(BM_AviSampleListOpenDml500k)->Unit(benchmark::kMillisecond);

// Target: under 1 s from a warm cache.
void BM_AviMoviScan1GiB(benchmark::State& state) {
    const std::string& path = UnindexedGibFile();
    if (path.empty()) return state.SkipWithError("the sparse 1 GiB file could not be written");
    FileSource file(path);
    std::size_t samples = 0;
    for (auto _ : state) {
        const AviSamples s = ReadAviSamples(file, ReadAviLayout(file));
        samples = 0;
        for (const SampleTrack& t : s.list.tracks) samples += t.samples.size();
        benchmark::DoNotOptimize(samples);
    }
    state.counters["samples"] = static_cast<double>(samples);
}
BENCHMARK(BM_AviMoviScan1GiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrova
