#pragma once
// Byte-exact fixtures: ISO boxes (big-endian) and RIFF chunks (little-endian),
// and temporary files that hold them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kestrova::test {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts);
Bytes U8(std::uint8_t v);
Bytes U16(std::uint16_t v);  // big-endian
Bytes U24(std::uint32_t v);
Bytes U32(std::uint32_t v);
Bytes U64(std::uint64_t v);
Bytes LE16(std::uint16_t v);
Bytes LE32(std::uint32_t v);
Bytes Text(const std::string& s);  // the characters, no terminator
Bytes Zeros(std::size_t n);

// A box whose size field is 8 + payload.
Bytes Box(const std::string& type, const Bytes& payload = {});
Bytes Box(const std::string& type, std::initializer_list<Bytes> children);
// A box whose size field is given, whatever its payload.
Bytes BoxWithSize(std::uint32_t size, const std::string& type, const Bytes& payload = {});
// Size field 1 and the 64-bit size (16 + payload, unless given) after the type.
Bytes LargeBox(const std::string& type, const Bytes& payload, std::uint64_t largeSize = 0);
Bytes FullBox(const std::string& type, std::uint8_t version, std::uint32_t flags, const Bytes& payload = {});

// A RIFF chunk: id, little-endian size of the data, the data; no pad byte.
Bytes Chunk(const std::string& id, const Bytes& data = {});
Bytes ChunkWithSize(const std::string& id, std::uint32_t size, const Bytes& data = {});
// "RIFF" or "LIST" with its form or list type and the children.
Bytes List(const std::string& id, const std::string& type, std::initializer_list<Bytes> children = {});

// A file removed when the object goes.
class TempFile {
public:
    explicit TempFile(const Bytes& contents, const std::string& name = "fixture.bin");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};

}  // namespace kestrova::test
