#pragma once
// A file opened for binary reading for the length of one command. Reads past
// the end come back short; callers read them through ByteReader as zeros.

#include <cstdint>
#include <string>
#include <vector>

namespace kestrova {

class FileSource {
public:
    FileSource() = default;
    explicit FileSource(const std::string& path) { Open(path); }
    ~FileSource() { Close(); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    std::uint64_t Size() const { return size_; }

    // Reads up to length bytes at offset into out (resized to what was read).
    // Returns true on failure: the file is not open or fewer bytes were read.
    bool ReadAt(std::uint64_t offset, std::uint64_t length, std::vector<std::uint8_t>& out);

    // Small reads (box and chunk headers) served from a cached window, so that
    // walking millions of headers does not cost one system call each.
    // Copies up to n (at most kMaxSmallRead) bytes into dst and zero-fills the rest.
    static constexpr std::size_t kMaxSmallRead = 64;
    std::size_t ReadSmall(std::uint64_t offset, std::uint8_t* dst, std::size_t n);

private:
    bool RawRead(std::uint64_t offset, std::uint8_t* dst, std::size_t n, std::size_t& got);

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::vector<std::uint8_t> cache_;
    std::uint64_t cacheOffset_ = 0;
    bool cacheValid_ = false;
    std::size_t window_ = 0;  // bytes the cache reads at a miss
};

}  // namespace kestrova
