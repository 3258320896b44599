#include "support/BoxWriter.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace kestrova::test {

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes U8(std::uint8_t v) { return {v}; }
Bytes U16(std::uint16_t v) { return {std::uint8_t(v >> 8), std::uint8_t(v)}; }
Bytes U24(std::uint32_t v) { return {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}; }
Bytes U32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}
Bytes U64(std::uint64_t v) { return Cat({U32(std::uint32_t(v >> 32)), U32(std::uint32_t(v))}); }
Bytes LE16(std::uint16_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8)}; }
Bytes LE32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

static Bytes Code(const std::string& code) {
    if (code.size() != 4) throw std::invalid_argument("a four-character code needs four characters: " + code);
    return Text(code);
}

Bytes Box(const std::string& type, const Bytes& payload) {
    return BoxWithSize(static_cast<std::uint32_t>(8 + payload.size()), type, payload);
}

Bytes Box(const std::string& type, std::initializer_list<Bytes> children) { return Box(type, Cat(children)); }

Bytes BoxWithSize(std::uint32_t size, const std::string& type, const Bytes& payload) {
    return Cat({U32(size), Code(type), payload});
}

Bytes LargeBox(const std::string& type, const Bytes& payload, std::uint64_t largeSize) {
    if (largeSize == 0) largeSize = 16 + payload.size();
    return Cat({U32(1), Code(type), U64(largeSize), payload});
}

Bytes FullBox(const std::string& type, std::uint8_t version, std::uint32_t flags, const Bytes& payload) {
    return Box(type, Cat({U8(version), U24(flags), payload}));
}

Bytes Chunk(const std::string& id, const Bytes& data) {
    return ChunkWithSize(id, static_cast<std::uint32_t>(data.size()), data);
}

Bytes ChunkWithSize(const std::string& id, std::uint32_t size, const Bytes& data) {
    return Cat({Code(id), LE32(size), data});
}

Bytes List(const std::string& id, const std::string& type, std::initializer_list<Bytes> children) {
    return Chunk(id, Cat({Code(type), Cat(children)}));
}

TempFile::TempFile(const Bytes& contents, const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrova-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    dir_ = pattern;
    path_ = dir_ + "/" + name;
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path_);
    if (!contents.empty()) std::fwrite(contents.data(), 1, contents.size(), f);
    std::fclose(f);
}

TempFile::~TempFile() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

}  // namespace kestrova::test
