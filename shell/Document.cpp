#include "shell/Document.h"

#include <cctype>
#include <cstdio>

#include "avi/AviParser.h"
#include "avi/DisplayAviInfo.h"
#include "avi/full/AviFull.h"
#include "common/FileSource.h"
#include "common/Formatters.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"
#include "iso/full/FullParse.h"
#include "shell/HexView.h"

namespace kestrova {
namespace {

const std::string kRule47(47, '-');

std::string NamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string BaseCaption() { return std::string("(ORV) Kestrova ") + kVersionText; }

const std::vector<std::string>& WelcomeText() {
    static const std::vector<std::string> lines = {
        "(ORV) Kestrova",
        kRule47,
        std::string("Version : ") + kVersionText,
        "Supported media format : .3gp, .mp4, .avi",
        "update date : 2008.04.18",
        "[수정 사항]",
        "1. .3gp/.mp4 파일을 여러 번 반복해서 열면",
        "   메모리가 손상되던 문제 수정",
        "2. 트리에 박스 이름이 소문자로 추가되던",
        "   문제 수정",
        "3. AMR 포맷이 \"UnKnown Format\"으로 표시되던 문제 수정",
        "4. 0xA9 바이트로 시작하는 메타데이터 문자열 지원",
        "5. iods 박스의 ES ID 디스크립터를 하나가 아닌",
        "   최대 네 개까지 표시",
        "6. udta 항목 cprt, titl, auth, dscp, perf,",
        "   gnre, albm 설명 추가",
        "7. SBR 파일의 샘플 레이트를 \" * 2\"와 함께",
        "   표시",
        kRule47,
        "Version : 0.5",
        "Supported media format : .3gp, .mp4, .avi",
        "update date : 2008.04.14",
        kRule47,
    };
    return lines;
}

std::optional<char> FilterEntryKey(char c) {
    if (c >= '0' && c <= '9') return c;
    if (c == 8) return c;
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper >= 'A' && upper <= 'F') return upper;
    return std::nullopt;
}

std::string TypeIntoEntry(std::string current, const std::string& typed, std::size_t maxLength) {
    for (const char c : typed) {
        const std::optional<char> accepted = FilterEntryKey(c);
        if (!accepted) continue;
        if (*accepted == 8) {
            if (!current.empty()) current.pop_back();
        } else if (current.size() < maxLength) {
            current += *accepted;
        }
    }
    return current;
}

std::optional<std::uint64_t> ParseHexEntry(const std::string& text) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int digit = (c >= '0' && c <= '9') ? c - '0' : (std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return value;
}

Document::Document(RegionalSettings settings) : settings_(std::move(settings)), caption_(BaseCaption()) {
    for (const auto& line : WelcomeText()) boxDescription_.Append(line);
}

Document::~Document() = default;

void Document::ResetView() {
    reloadEnabled_ = true;
    boxDescription_.Clear();
    fileInfo_.Clear();
    tree_.Reset(fileName_);
    recordCount_ = 0;
    fileSize_ = 0;
    offsetEdit_.assign(1, '0');
    sizeEdit_.assign(1, '0');
    clickedNode_ = -1;
    dump_.reset();
    ClearSelection();
}

void Document::OpenFile() {
    messageBox_.reset();
    filePath_ = dialogFileName_;
    fileName_ = NamePart(filePath_);
    caption_ = BaseCaption() + " - " + fileName_;

    // Dropping the previous parse frees everything it held.
    iso_.reset();
    avi_.reset();
    full_.reset();
    aviFull_.reset();
    fileKind_ = 0;
    ResetView();

    FileSource file;
    if (!file.Open(filePath_)) {
        status_ = "File Open Fail!!! - " + filePath_;
        return;
    }
    status_ = fileName_ + " Open";
    fileSize_ = file.Size();

    if (view_ == ViewKind::Full) {
        const std::uint8_t classicKind = IsIsoFile(file, fileSize_);
        if (classicKind != 0 || full::LooksLikeIsoStart(file, fileSize_)) {
            // A file only the full view opens is an ISO file all the same.
            fileKind_ = classicKind != 0 ? std::uint32_t{classicKind} : std::uint32_t{kFileKindIso};
            full_ = std::make_unique<full::FullParse>();
            FileSource init;
            const bool withInit = !initPath_.empty() && init.Open(initPath_);
            full::ReadFullFile(file, tree_, *full_, withInit ? &init : nullptr);
            recordCount_ = static_cast<std::uint32_t>(full_->records.size());
            full::DisplayFullFileInfo(*this, *full_);
            if (full_->recordLimitReached) status_ += " - only the first 1,000,000 boxes are shown";
            if (!initPath_.empty() && !withInit) status_ += " - the initialisation segment cannot be opened: " + initPath_;
            const std::vector<std::string>& notes = full_->fragments.notes;
            for (std::size_t i = 0; i < notes.size() && i < 3; ++i) status_ += " - " + notes[i];
            if (notes.size() > 3) status_ += " - and " + std::to_string(notes.size() - 3) + " more notes on the fragments";
            if (full_->depthLimitReached)
                status_ += " - nesting stops at depth " + std::to_string(full::kMaxDepth);
            return;
        }
        if (full::LooksLikeAviStart(file)) {
            fileKind_ = kFileKindAvi;
            aviFull_ = std::make_unique<full::AviFullParse>();
            full::WalkAviFull(file, fileSize_, tree_, *aviFull_);
            full::BuildAviFullSummary(file, *aviFull_);
            recordCount_ = static_cast<std::uint32_t>(aviFull_->records.size());
            full::DisplayAviFullInfo(*this, *aviFull_);
            if (aviFull_->recordLimitReached) status_ += " - only the first 1,000,000 chunks are shown";
            return;
        }
    }
    iso_ = std::make_unique<IsoParse>();
    fileKind_ = ParseIsoFile(file, fileSize_, tree_, *iso_);
    if (fileKind_ != 0) {
        recordCount_ = static_cast<std::uint32_t>(iso_->records.size());
        DisplayIsoFileInfo(*this, *iso_, fileKind_);
        if (iso_->recordLimitReached) status_ += " - only the first 1,000,000 boxes are shown";
    } else {
        iso_.reset();
        avi_ = std::make_unique<AviParse>();
        fileKind_ = ParseAviFile(file, fileSize_, tree_, *avi_, *this);
        recordCount_ = static_cast<std::uint32_t>(avi_->records.size());
        if (avi_->recordLimitReached) status_ += " - only the first 1,000,000 chunks are shown";
    }
}

void Document::DropFiles(const std::vector<std::string>& paths) {
    messageBox_.reset();
    // A drop of several files takes no name: the file named before opens again.
    if (paths.size() == 1) SetDialogFileName(paths.front());
    OpenFile();
}

void Document::TreeView1Click(std::int64_t nodeIndex) {
    messageBox_.reset();
    ClearSelection();
    if (nodeIndex < 0 || static_cast<std::uint64_t>(nodeIndex) >= tree_.Count()) return;
    clickedNode_ = nodeIndex;
    ClearDescriptionBuffer();
    if (full_) {
        if (nodeIndex == 0) {
            ClearBoxDescription();
            full::DisplayFullFileInfo(*this, *full_);
            return;
        }
        FileSource file;
        if (!file.Open(filePath_)) {
            status_ = "File Open Fail!!! - " + filePath_;
            return;
        }
        full::DescribeFullBox(*this, file, *full_, nodeIndex);
    } else if (aviFull_) {
        if (nodeIndex == 0) {
            ClearBoxDescription();
            full::DisplayAviFullInfo(*this, *aviFull_);
            return;
        }
        FileSource file;
        if (!file.Open(filePath_)) {
            status_ = "File Open Fail!!! - " + filePath_;
            return;
        }
        full::DescribeAviChunk(*this, file, *aviFull_, nodeIndex);
    } else if ((fileKind_ & kFileKindIso) && iso_) {
        DisplayIsoBoxInfo(*this, *iso_, nodeIndex);
    } else if ((fileKind_ & kFileKindAvi) && avi_) {
        ShowChunkDescription(*this, *avi_, nodeIndex);
    }
}

void Document::Button1Click(const std::string& offsetText, const std::string& sizeText) {
    messageBox_.reset();
    ClearSelection();
    const std::optional<std::uint64_t> offset = ParseHexEntry(offsetText);
    if (!offset) {
        messageBox_ = "'0x" + offsetText + "' is not a valid integer value";
        return;
    }
    const std::optional<std::uint64_t> size = ParseHexEntry(sizeText);
    if (!size) {
        messageBox_ = "'0x" + sizeText + "' is not a valid integer value";
        return;
    }
    ShowHexRange(*offset, *size);
}

void Document::ShowHexRange(std::uint64_t offset, std::uint64_t size) {
    FileSource file;
    if (filePath_.empty() || !file.Open(filePath_)) {
        status_ = "Error";
        return;
    }
    std::uint64_t length = 0;
    if (offset > fileSize_) {
        status_ = "Offset is out of FileSize. (" + Hex32Text(offset) + ">" + Hex32Text(fileSize_) + ")";
    } else if (size > fileSize_ - offset) {
        // Offset and size may each take 64 bits; their sum then takes a 65th.
        const std::uint64_t end = offset + size;
        const std::string endText = end < offset ? "0X1" + std::string(16 - UpperHexText(end).size(), '0') +
                                                       UpperHexText(end)
                                                 : "0X" + UpperHexText(end);
        status_ = "Offset+Size is out of FileSize. (" + endText + " > " +
                  (fileSize_ == 0 ? std::string("0") : "0X" + UpperHexText(fileSize_)) + ")";
        length = fileSize_ - offset;
    } else {
        status_ = "Memory Read Range (" + Hex32Text(offset) + " ~ " + Hex32Text(offset + size) + ")";
        length = size;
    }
    if (length > kHexReadLimit) {
        status_ = "Memory Read Size limited. Size is changed (" + Hex32Text(length) + ") -> (" +
                  Hex32Text(kHexReadLimit) + ")";
        length = kHexReadLimit;
    }
    std::vector<std::uint8_t> bytes;
    file.ReadAt(offset, length, bytes);
    // A file that shrank since it was opened shows only what is still there.
    if (bytes.size() < length) length = bytes.size();

    fileInfo_.Clear();
    sizeEdit_ = UpperHexText(length);
    ClearDescriptionBuffer();
    HexDump(bytes, offset, static_cast<std::size_t>(length), descriptionBuffer_);
    fileInfo_.Replace(std::move(descriptionBuffer_), {});
    dump_ = HexDumpExtent{offset, length};
}

std::optional<std::int64_t> Document::DumpLineOf(std::uint64_t byte) const {
    if (!dump_ || !dump_->Holds(byte)) return std::nullopt;
    // Two heading lines, then one row per sixteen bytes from the first row's address.
    return 2 + static_cast<std::int64_t>((byte >> 4) - (dump_->offset >> 4));
}

std::uint64_t Document::DumpEndFor(const ByteRange& range) const {
    const auto extentOf = [this](std::size_t record) -> ByteRange {
        if (full_) {
            const full::FullRecord& r = full_->records[record];
            return {r.offset, r.extent};
        }
        if (iso_) {
            const BoxRecord& r = iso_->records[record];
            return {r.offset, r.Extent()};
        }
        if (aviFull_) {
            const full::AviFullRecord& r = aviFull_->records[record];
            return {r.offset, r.extent};
        }
        const ChunkRecord& r = avi_->records[record];
        return {r.offset, std::uint64_t{r.size} + 8};
    };
    const std::size_t records = full_  ? full_->records.size()
                                : iso_ ? iso_->records.size()
                                : aviFull_ ? aviFull_->records.size()
                                : avi_ ? avi_->records.size()
                                       : 0;
    const auto holds = [&range](const ByteRange& e) {
        return range.offset >= e.offset && range.offset - e.offset < e.length;
    };
    if (clickedNode_ >= 1 && static_cast<std::size_t>(clickedNode_) <= records) {
        const ByteRange node = extentOf(static_cast<std::size_t>(clickedNode_ - 1));
        if (holds(node)) return node.offset + node.length;
    }
    // A value taken from another chunk: the narrowest record that holds it.
    std::optional<ByteRange> holder;
    for (std::size_t i = 0; i < records; ++i) {
        const ByteRange e = extentOf(i);
        if (holds(e) && (!holder || e.length < holder->length)) holder = e;
    }
    return holder ? holder->offset + holder->length : range.End();
}

void Document::SelectLine(std::int64_t line) {
    messageBox_.reset();
    ClearSelection();
    if (line < 0 || static_cast<std::uint64_t>(line) >= boxDescription_.Lines().size()) return;
    const ByteRange range = boxDescription_.RangeOf(static_cast<std::size_t>(line));
    if (range.Empty()) return;
    if (!dump_ || !dump_->Holds(range.offset) || !dump_->Holds(range.End() - 1)) {
        const std::uint64_t start = range.offset & ~std::uint64_t{15};
        std::uint64_t end = DumpEndFor(range);
        if (end <= start) end = range.End();
        offsetEdit_ = UpperHexText(start);
        ShowHexRange(start, end - start);
    }
    selectedLine_ = line;
    highlight_ = range;
    SayBits();
}

void Document::SayBits() {
    if (!highlight_ || !highlight_->HasBits()) return;
    if (!statusUnderBits_) statusUnderBits_ = status_;
    const std::uint64_t first = highlight_->firstBit;
    const std::uint64_t last = first + highlight_->bitCount - 1;
    status_ = (first == last ? "bit " + std::to_string(first) : "bits " + std::to_string(first) + "\u2013" + std::to_string(last)) +
              " of 0x" + UpperHexText(highlight_->offset);
}

std::optional<std::pair<std::uint64_t, std::uint32_t>> Document::NodeKey(std::int64_t node) const {
    if (node < 1) return std::nullopt;
    const auto i = static_cast<std::size_t>(node - 1);
    if (full_ && i < full_->records.size()) return std::make_pair(full_->records[i].offset, full_->records[i].type);
    if (iso_ && i < iso_->records.size()) return std::make_pair(iso_->records[i].offset, iso_->records[i].type);
    if (avi_ && i < avi_->records.size()) return std::make_pair(avi_->records[i].offset, avi_->records[i].id);
    if (aviFull_ && i < aviFull_->records.size()) return std::make_pair(aviFull_->records[i].offset, aviFull_->records[i].id);
    return std::nullopt;
}

void Document::SetView(ViewKind view) {
    if (view == view_) return;
    view_ = view;
    if (filePath_.empty()) return;
    const auto key = NodeKey(clickedNode_);
    SetDialogFileName(filePath_);
    OpenFile();
    std::int64_t target = 0;
    if (key) {
        for (std::size_t n = 1; n < tree_.Count(); ++n) {
            if (NodeKey(static_cast<std::int64_t>(n)) == key) {
                target = static_cast<std::int64_t>(n);
                break;
            }
        }
    }
    if (target > 0) TreeView1Click(target);
}

void Document::SelectByte(std::uint64_t offset) {
    messageBox_.reset();
    ClearSelection();
    if (!dump_ || !dump_->Holds(offset)) return;
    const std::size_t count = boxDescription_.Lines().size();
    std::optional<std::size_t> best;
    std::uint64_t bestLength = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const ByteRange r = boxDescription_.RangeOf(i);
        if (r.Empty() || offset < r.offset || offset - r.offset >= r.length) continue;
        if (!best || r.BitWidth() < bestLength) {
            best = i;
            bestLength = r.BitWidth();
        }
    }
    if (!best) return;
    selectedLine_ = static_cast<std::int64_t>(*best);
    highlight_ = boxDescription_.RangeOf(*best);
    SayBits();
}

void Document::GoToByte(std::int64_t node, std::uint64_t byte) {
    TreeView1Click(node);
    if (byte >= fileSize_) return;
    if (!dump_ || !dump_->Holds(byte)) {
        const std::uint64_t start = byte & ~std::uint64_t{15};
        std::uint64_t end = DumpEndFor(ByteRange{byte, 1});
        // Between top-level boxes nothing bounds the dump: a few rows show where the byte lies.
        if (end <= byte + 1) end = std::min(fileSize_, start + 256);
        offsetEdit_ = UpperHexText(start);
        ShowHexRange(start, end - start);
    }
    SelectByte(byte);
    if (!highlight_ && dump_ && dump_->Holds(byte)) highlight_ = ByteRange{byte, 1};
}

std::string Document::HighlightedBytesText() const {
    std::string text;
    if (!highlight_ || !dump_) return text;
    const std::uint64_t first = std::max(highlight_->offset, dump_->offset);
    const std::uint64_t end = std::min(highlight_->End(), dump_->offset + dump_->length);
    const auto& lines = fileInfo_.Lines();
    for (std::uint64_t byte = first; byte < end;) {
        const std::optional<std::int64_t> line = DumpLineOf(byte);
        if (!line || static_cast<std::size_t>(*line) >= lines.size()) break;
        const std::string& row = lines[static_cast<std::size_t>(*line)];
        const std::uint64_t rowEnd = std::min(end, (byte | 15) + 1);
        for (; byte < rowEnd; ++byte) {
            const std::optional<std::string> pair = HexRowByteText(row, byte);
            if (!pair) continue;
            if (!text.empty()) text += ' ';
            text += *pair;
        }
    }
    return text;
}

}  // namespace kestrova
