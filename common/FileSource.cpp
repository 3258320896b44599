#include "FileSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrova {
namespace {
constexpr std::size_t kCacheBlock = 64 * 1024;
// After a jump (past a large box) the window starts small: a header or a
// small box is all that is read there, and a fragmented file has thousands
// of such jumps. Reads that go on right after it double it again.
constexpr std::size_t kFirstBlock = 2 * 1024;
// A read this close past the window's end still counts as going on.
constexpr std::size_t kNearby = 256;
}

bool FileSource::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st {};
    if (fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        Close();
        return false;
    }
    // Not st_size: a block device or a pipe-like file tells its length only by seeking.
    const off_t end = lseek(fd_, 0, SEEK_END);
    size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    return true;
}

void FileSource::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    cacheValid_ = false;
}

bool FileSource::RawRead(std::uint64_t offset, std::uint8_t* dst, std::size_t n, std::size_t& got) {
    got = 0;
    if (fd_ < 0) return true;
    while (got < n) {
        const ssize_t r = ::pread(fd_, dst + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    return got != n;
}

bool FileSource::ReadAt(std::uint64_t offset, std::uint64_t length, std::vector<std::uint8_t>& out) {
    out.clear();
    if (fd_ < 0) return true;
    if (offset >= size_) return length != 0;
    const std::uint64_t available = size_ - offset;
    const std::uint64_t want = std::min(length, available);
    // A small box right after a header just read is in the window already.
    if (cacheValid_ && offset >= cacheOffset_ && want <= cache_.size() && offset - cacheOffset_ <= cache_.size() - want) {
        const auto* first = cache_.data() + (offset - cacheOffset_);
        out.assign(first, first + want);
        return want != length;
    }
    out.resize(static_cast<std::size_t>(want));
    std::size_t got = 0;
    bool failed = RawRead(offset, out.data(), out.size(), got);
    out.resize(got);
    return failed || want != length;
}

std::size_t FileSource::ReadSmall(std::uint64_t offset, std::uint8_t* dst, std::size_t n) {
    n = std::min(n, kMaxSmallRead);
    std::memset(dst, 0, n);
    if (fd_ < 0 || offset >= size_) return 0;
    if (!cacheValid_ || offset < cacheOffset_ || offset + n > cacheOffset_ + cache_.size()) {
        const bool nearby = cacheValid_ && offset >= cacheOffset_ && offset - cacheOffset_ < cache_.size() + kNearby;
        window_ = nearby ? std::min(window_ * 2, kCacheBlock) : kFirstBlock;
        cache_.resize(window_);
        std::size_t got = 0;
        RawRead(offset, cache_.data(), cache_.size(), got);
        cache_.resize(got);
        cacheOffset_ = offset;
        cacheValid_ = true;
    }
    const std::uint64_t inCache = offset - cacheOffset_;
    const std::size_t copy = static_cast<std::size_t>(std::min<std::uint64_t>(n, cache_.size() - inCache));
    std::memcpy(dst, cache_.data() + inCache, copy);
    return copy;
}

}  // namespace kestrova
