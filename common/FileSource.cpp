#include "FileSource.h"

#include <algorithm>
#include <cstring>

#include <sys/stat.h>

namespace kestrova {
namespace {
constexpr std::size_t kCacheBlock = 64 * 1024;
// After a jump (past a large box) the window starts small: a header or a
// small box is all that is read there, and a fragmented file has thousands
// of such jumps. Reads that go on nearby double it again.
constexpr std::size_t kFirstBlock = 4 * 1024;
}

bool FileSource::Open(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    struct stat st {};
    if (fstat(fileno(file_), &st) != 0 || S_ISDIR(st.st_mode)) {
        Close();
        return false;
    }
    if (fseeko(file_, 0, SEEK_END) == 0) {
        const off_t end = ftello(file_);
        size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
    }
    fseeko(file_, 0, SEEK_SET);
    return true;
}

void FileSource::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    cacheValid_ = false;
}

bool FileSource::RawRead(std::uint64_t offset, std::uint8_t* dst, std::size_t n, std::size_t& got) {
    got = 0;
    if (!file_) return true;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return true;
    got = std::fread(dst, 1, n, file_);
    return got != n;
}

bool FileSource::ReadAt(std::uint64_t offset, std::uint64_t length, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!file_) return true;
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
    if (!file_ || offset >= size_) return 0;
    if (!cacheValid_ || offset < cacheOffset_ || offset + n > cacheOffset_ + cache_.size()) {
        const bool nearby = cacheValid_ && offset >= cacheOffset_ && offset - cacheOffset_ < cache_.size() + kCacheBlock;
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
