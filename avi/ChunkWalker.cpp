// The chunk walk. Positions are 64-bit and every step moves on by at least a
// header, so every walk ends. A header that does not lie wholly in the file,
// or a chunk that reaches past the end of the file, ends the level being
// walked. Levels are kept on an explicit stack, since lists may nest as deep
// as the file allows.

#include <algorithm>

#include "avi/AviParser.h"
#include "avi/DisplayAviInfo.h"
#include "common/ByteReader.h"
#include "common/Formatters.h"
#include "common/Limits.h"

namespace kestrova {
namespace {

constexpr std::uint32_t kRiff = Fourcc("RIFF"), kList = Fourcc("LIST"), kJunk = Fourcc("JUNK"),
                        kAvi = Fourcc("AVI "), kAvix = Fourcc("AVIX"), kHdrl = Fourcc("hdrl"),
                        kStrl = Fourcc("strl"), kOdml = Fourcc("odml"), kInfo = Fourcc("INFO"),
                        kMovi = Fourcc("movi"), kAvih = Fourcc("avih"), kStrh = Fourcc("strh"),
                        kStrf = Fourcc("strf"), kStrd = Fourcc("strd"), kStrn = Fourcc("strn"),
                        kDmlh = Fourcc("dmlh"), kIsft = Fourcc("ISFT"), kIdx1 = Fourcc("idx1"),
                        kVids = Fourcc("vids"), kAuds = Fourcc("auds");

const char* const kNotRiffText = "This is not RIFF Format!!!";
const char* const kNotAviText = "This is not AVI File!!!";

// What each capture takes from the start of a chunk's data.
constexpr std::size_t kMainHeaderBytes = 56;
constexpr std::size_t kStreamHeaderBytes = 48;
constexpr std::size_t kWaveFormatBytes = 18;
constexpr std::size_t kBitmapInfoBytes = 40;
// A tool name is one line of the summary; longer names are cut here.
constexpr std::uint64_t kMaxToolNameBytes = 1024;
// Index entries are read in blocks of whole entries.
constexpr std::uint64_t kIndexBlockBytes = 1 << 20;

enum class Level { Top, Riff, Hdrl, Strl, Odml, Info };

struct Frame {
    Level level;
    std::uint64_t base;   // file offset the positions count from
    std::uint64_t pos;
    std::uint64_t bound;
    std::int32_t parent;  // node the level's children hang from
};

bool IsDigit(std::uint32_t b) { return b >= '0' && b <= '9'; }

class Walker {
public:
    Walker(FileSource& file, std::uint64_t fileSize, NodeList& tree, AviParse& parse, DocumentView& view)
        : file_(file), fileSize_(fileSize), tree_(tree), parse_(parse), view_(view) {
        // A child that reaches past its parent is walked, so a crafted file can
        // make levels overlap; well-formed files visit each header once, and
        // this budget stops only the walks that would revisit without end.
        visitBudget_ = fileSize / 8 * 2 + 2 * std::uint64_t{kMaxRecords} + 1024;
    }

    // False when the file is refused; the refusal line is then written.
    bool Run() {
        stack_.push_back({Level::Top, 0, 0, fileSize_, tree_.LastNode});
        while (!stack_.empty() && !stopped_) {
            Frame& f = stack_.back();
            if (f.pos >= f.bound || visitBudget_ == 0) {
                Pop();
                continue;
            }
            --visitBudget_;
            const std::uint64_t at = f.base + f.pos;
            std::uint8_t bytes[12];
            file_.ReadSmall(at, bytes, sizeof bytes);
            const ByteReader r({bytes, sizeof bytes});
            const std::uint32_t id = r.Fourcc(0);
            const std::uint32_t size = r.U32LE(4);
            if (at > fileSize_ || fileSize_ - at < 8) {
                if (f.level == Level::Top && !riffAccepted_ && id != kRiff && id != kJunk)
                    return Refuse(kNotRiffText);
                Pop();
                continue;
            }
            const std::uint64_t extent = 8 + std::uint64_t{size};
            const Level level = f.level;
            const std::int32_t parent = f.parent;
            // A chunk cut short by the end of the file is the last one of its level.
            f.pos = extent > fileSize_ - at ? f.bound : f.pos + extent;
            if (!Handle(level, parent, at, id, size, r.Fourcc(8))) return false;
        }
        parse_.walkBudgetExhausted = visitBudget_ == 0;
        return true;
    }

private:
    bool Refuse(const char* line) {
        view_.AddBoxDescriptionLine(line);
        return false;
    }

    void Pop() {
        if (stack_.back().level == Level::Strl) ++parse_.streamCounter;
        stack_.pop_back();
    }

    bool AddRecord(std::uint64_t offset, std::uint32_t size, std::uint32_t id, std::uint32_t listType,
                   std::uint32_t stream, std::int32_t parent) {
        if (parse_.records.size() >= kMaxRecords) {
            parse_.recordLimitReached = true;
            stopped_ = true;
            return false;
        }
        ChunkRecord rec;
        rec.index = static_cast<std::int32_t>(parse_.records.size());
        rec.offset = offset;
        rec.size = size;
        rec.id = id;
        rec.listType = listType;
        rec.stream = static_cast<std::int32_t>(stream);
        parse_.records.push_back(rec);
        tree_.Add(listType == 0 ? FourccText(id) : FourccText(id) + " " + FourccText(listType), parent);
        return true;
    }

    bool AddChunkRecord(std::uint64_t offset, std::uint32_t size, std::uint32_t id, std::uint32_t stream,
                        std::int32_t parent) {
        return AddRecord(offset, size, id, 0, stream, parent);
    }

    // Adds the list and, when its contents are walked, the level for them.
    void AddListRecord(std::uint64_t offset, std::uint32_t size, std::uint32_t id, std::uint32_t listType,
                       std::uint32_t stream, std::int32_t parent, const Level* walkAs) {
        if (!AddRecord(offset, size, id, listType, stream, parent)) return;
        if (walkAs) stack_.push_back({*walkAs, offset + 8, 4, size, tree_.LastNode});
    }

    bool Handle(Level level, std::int32_t parent, std::uint64_t at, std::uint32_t id, std::uint32_t size,
                std::uint32_t type) {
        static constexpr Level kRiffBody = Level::Riff;
        if (id == kList && level != Level::Top) {
            DispatchList(at, size, type, parent);
            return true;
        }
        switch (level) {
        case Level::Top:
            if (id == kJunk) {
                AddChunkRecord(at, size, id, 0, parent);
            } else if (id == kRiff) {
                if (type != kAvi && type != kAvix) return Refuse(kNotAviText);
                riffAccepted_ = true;
                (type == kAvi ? parse_.summary.riffAviSize : parse_.summary.riffAvixSize) = size;
                AddListRecord(at, size, id, type, 0, parent, &kRiffBody);
            } else if (!riffAccepted_) {
                return Refuse(kNotRiffText);
            }
            return true;
        case Level::Riff:
            if (id == kJunk) {
                AddChunkRecord(at, size, id, 0, parent);
            } else if (id == kIdx1) {
                if (AddChunkRecord(at, size, id, 0, parent)) ScanIndex(at, size);
            }
            return true;
        case Level::Hdrl:
            if (id == kAvih && AddChunkRecord(at, size, id, 0, parent)) CaptureMainHeader(at, size);
            return true;
        case Level::Strl: {
            const std::uint32_t stream = parse_.streamCounter;
            if (id == kStrh) {
                if (AddChunkRecord(at, size, id, stream, parent)) CaptureStreamHeader(at, size);
            } else if (id == kStrf) {
                if (AddChunkRecord(at, size, id, stream, parent)) {
                    KeepFormat(at, size);
                    CaptureStreamFormat(at, size);
                }
            } else if (id == kStrd || id == kStrn) {
                AddChunkRecord(at, size, id, stream, parent);
            } else if (id == kJunk) {
                AddChunkRecord(at, size, id, 0, parent);
            }
            return true;
        }
        case Level::Odml:
            if (id == kDmlh) AddChunkRecord(at, size, id, 0, parent);
            return true;
        case Level::Info:
            if (id == kIsft && AddChunkRecord(at, size, id, 0, parent)) CaptureToolName(at, size);
            return true;
        }
        return true;
    }

    void DispatchList(std::uint64_t at, std::uint32_t size, std::uint32_t type, std::int32_t parent) {
        static constexpr Level kHdrlLevel = Level::Hdrl, kStrlLevel = Level::Strl, kOdmlLevel = Level::Odml,
                               kInfoLevel = Level::Info;
        switch (type) {
        case kHdrl: return AddListRecord(at, size, kList, type, 0, parent, &kHdrlLevel);
        case kStrl: return AddListRecord(at, size, kList, type, parse_.streamCounter, parent, &kStrlLevel);
        case kOdml: return AddListRecord(at, size, kList, type, 0, parent, &kOdmlLevel);
        case kInfo: return AddListRecord(at, size, kList, type, 0, parent, &kInfoLevel);
        case kMovi: return AddListRecord(at, size, kList, type, 0, parent, nullptr);
        case kJunk:
            if (AddChunkRecord(at + 8, 0, kJunk, 0, parent)) parse_.records.back().sizeInFile = false;
            return;
        default: return;  // unknown list types are skipped whole
        }
    }

    // The first min(size, n) data bytes of the chunk, as far as the file holds
    // them; bytes past the chunk or the file read as zeros. data tells where they lie.
    ByteReader ReadData(std::uint64_t at, std::uint32_t size, std::uint8_t* buffer, std::size_t n,
                        AviDataBytes* data = nullptr) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, n));
        const std::size_t got = file_.ReadSmall(at + 8, buffer, want);
        if (data) *data = {at + 8, got};
        return ByteReader({buffer, got});
    }

    void KeepFormat(std::uint64_t at, std::uint32_t size) {
        parse_.records.back().row = static_cast<std::int32_t>(parse_.formats.size());
        AviStreamFormat& f = parse_.formats.emplace_back();
        ReadData(at, size, f.bytes.data(), f.bytes.size(), &f.data);
    }

    void CaptureMainHeader(std::uint64_t at, std::uint32_t size) {
        std::uint8_t bytes[kMainHeaderBytes];
        AviMainHeader& h = parse_.summary.mainHeader;
        const ByteReader r = ReadData(at, size, bytes, sizeof bytes, &h.data);
        h.dwMicroSecPerFrame = r.U32LE(0);
        h.dwMaxBytesPerSec = r.U32LE(4);
        h.dwPaddingGranularity = r.U32LE(8);
        h.dwFlags = r.U32LE(12);
        h.dwTotalFrames = r.U32LE(16);
        h.dwInitialFrames = r.U32LE(20);
        h.dwStreams = r.U32LE(24);
        h.dwSuggestedBufferSize = r.U32LE(28);
        h.dwWidth = r.U32LE(32);
        h.dwHeight = r.U32LE(36);
        for (std::size_t i = 0; i < h.dwReserved.size(); ++i) h.dwReserved[i] = r.U32LE(40 + 4 * i);
        parse_.summary.totalFrames = h.dwTotalFrames;
    }

    void CaptureStreamHeader(std::uint64_t at, std::uint32_t size) {
        std::uint8_t bytes[kStreamHeaderBytes];
        const std::size_t slot = parse_.streamCounter;
        if (parse_.streams.size() <= slot) parse_.streams.resize(slot + 1);
        AviStreamRecord& s = parse_.streams[slot];
        const ByteReader r = ReadData(at, size, bytes, sizeof bytes, &s.data);
        s.fccType = r.Fourcc(0);
        s.fccHandler = r.Fourcc(4);
        s.dwFlags = r.U32LE(8);
        s.wPriority = r.U16LE(12);
        s.wLanguage = r.U16LE(14);
        s.dwInitialFrames = r.U32LE(16);
        s.dwScale = r.U32LE(20);
        s.dwRate = r.U32LE(24);
        s.dwStart = r.U32LE(28);
        s.dwLength = r.U32LE(32);
        s.dwSuggestedBufferSize = r.U32LE(36);
        s.dwQuality = r.U32LE(40);
        s.dwSampleSize = r.U32LE(44);
        if (s.fccType == kVids) {
            parse_.summary.videoRate = s.dwRate;
            parse_.summary.videoScale = s.dwScale;
        }
    }

    void CaptureStreamFormat(std::uint64_t at, std::uint32_t size) {
        // The stream header of this list decides; a format before it captures nothing.
        const std::uint32_t type = parse_.Stream(parse_.streamCounter).fccType;
        AviSummaryInfo& info = parse_.summary;
        if (type == kAuds) {
            std::uint8_t bytes[kWaveFormatBytes];
            info.audioFormat = ReadAudioFormat(ReadData(at, size, bytes, sizeof bytes));
        } else if (type == kVids) {
            std::uint8_t bytes[kBitmapInfoBytes];
            info.videoFormat = ReadVideoFormat(ReadData(at, size, bytes, sizeof bytes));
            const AviVideoFormat& v = info.videoFormat;
            info.aspectRatio = v.biHeight != 0
                                   ? static_cast<float>(static_cast<double>(v.biWidth) / v.biHeight)
                                   : 0.0f;
            info.aspectBase = 1.0f;
        }
    }

    void CaptureToolName(std::uint64_t at, std::uint32_t size) {
        file_.ReadAt(at + 8, std::min<std::uint64_t>(size, kMaxToolNameBytes), buffer_);
        const auto zero = std::find(buffer_.begin(), buffer_.end(), std::uint8_t{0});
        const std::size_t length = static_cast<std::size_t>(zero - buffer_.begin());
        parse_.summary.toolName = TextFromFileBytes(buffer_.data(), length);
        parse_.summary.toolNameBytes = {at + 8, length};
    }

    void ScanIndex(std::uint64_t at, std::uint32_t size) {
        AviSummaryInfo& info = parse_.summary;
        const std::uint64_t first = at + 8;
        // Whole entries that lie in the file; entries an earlier index already
        // covered (overlapping index chunks of a crafted file) are not read again.
        std::uint64_t end = first + std::uint64_t{size} / 16 * 16;
        if (end > fileSize_) end = first + (fileSize_ > first ? (fileSize_ - first) / 16 * 16 : 0);
        std::uint64_t pos = first;
        if (indexScannedTo_ > pos) pos = first + (indexScannedTo_ - first + 15) / 16 * 16;
        if (pos >= end) return;
        indexScannedTo_ = end;

        while (pos < end) {
            const std::uint64_t block = std::min(end - pos, kIndexBlockBytes);
            file_.ReadAt(pos, block, buffer_);
            const ByteReader r({buffer_.data(), buffer_.size()});
            const std::uint64_t entries = buffer_.size() / 16;
            for (std::uint64_t k = 0; k < entries; ++k) {
                const std::uint64_t p = k * 16;
                const std::uint32_t ckid = r.Fourcc(p);
                if (!IsDigit(ckid >> 24) || !IsDigit((ckid >> 16) & 0xFF)) continue;
                const std::uint32_t kind = ckid & 0xFFFF;
                if (kind == ('d' << 8 | 'b') || kind == ('d' << 8 | 'c')) {
                    const std::uint32_t flags = r.U32LE(p + 4);
                    // Key frames are the entries whose flags are exactly AVIIF_KEYFRAME.
                    if (flags == 0x10) {
                        info.keyFrameOrdinals.push_back(info.videoEntryCount);
                        ++info.keyFrameCount;
                        if (info.keyFrameEntries.size() < kMaxListedKeyFrames)
                            info.keyFrameEntries.push_back({ckid, flags, r.U32LE(p + 8), r.U32LE(p + 12), pos + p});
                    }
                    ++info.videoEntryCount;
                } else if (kind == ('w' << 8 | 'b')) {
                    ++info.audioEntryCount;
                }
            }
            if (buffer_.size() < block) return;  // the file shrank under us
            pos += block;
        }
    }

    FileSource& file_;
    std::uint64_t fileSize_;
    NodeList& tree_;
    AviParse& parse_;
    DocumentView& view_;
    std::vector<Frame> stack_;
    std::vector<std::uint8_t> buffer_;
    std::uint64_t visitBudget_ = 0;
    std::uint64_t indexScannedTo_ = 0;
    bool riffAccepted_ = false;
    bool stopped_ = false;
};

}  // namespace

AviAudioFormat ReadAudioFormat(const ByteReader& r) {
    AviAudioFormat a;
    a.wFormatTag = r.U16LE(0);
    a.nChannels = r.U16LE(2);
    a.nSamplesPerSec = r.U32LE(4);
    a.nAvgBytesPerSec = r.U32LE(8);
    a.nBlockAlign = r.U16LE(12);
    a.wBitsPerSample = r.U16LE(14);
    a.cbSize = r.U16LE(16);
    return a;
}

AviVideoFormat ReadVideoFormat(const ByteReader& r) {
    AviVideoFormat v;
    v.biSize = r.U32LE(0);
    v.biWidth = static_cast<std::int32_t>(r.U32LE(4));
    v.biHeight = static_cast<std::int32_t>(r.U32LE(8));
    v.biPlanes = r.U16LE(12);
    v.biBitCount = r.U16LE(14);
    v.biCompression = r.Fourcc(16);
    v.biSizeImage = r.U32LE(20);
    v.biXPelsPerMeter = r.U32LE(24);
    v.biYPelsPerMeter = r.U32LE(28);
    v.biClrUsed = r.U32LE(32);
    v.biClrImportant = r.U32LE(36);
    return v;
}

const AviStreamRecord& AviParse::Stream(std::int64_t n) const {
    static const AviStreamRecord kNone;
    if (n < 0 || static_cast<std::uint64_t>(n) >= streams.size()) return kNone;
    return streams[static_cast<std::size_t>(n)];
}

std::uint32_t ParseAviFile(FileSource& file, std::uint64_t fileSize, NodeList& tree, AviParse& parse,
                           DocumentView& view) {
    parse = AviParse{};
    parse.summary.fileSize = fileSize;
    if (!Walker(file, fileSize, tree, parse, view).Run()) return 0;

    AviSummaryInfo& info = parse.summary;
    info.frameRate = info.videoScale != 0
                         ? static_cast<float>(static_cast<double>(info.videoRate) / info.videoScale)
                         : -1.0f;
    ShowAviSummary(view, parse, kFileKindAvi);
    return kFileKindAvi;
}

const ChunkRecord& GetChunkRecord(const AviParse& parse, std::int64_t nodeIndex) {
    return parse.records.at(static_cast<std::size_t>(nodeIndex - 1));
}

}  // namespace kestrova
