#include "shell/Document.h"

#include <cctype>
#include <cstdio>

#include "avi/AviParser.h"
#include "avi/DisplayAviInfo.h"
#include "common/FileSource.h"
#include "common/Formatters.h"
#include "iso/DisplayParseIso.h"
#include "iso/Mp4ParseIso.h"
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

std::optional<std::uint32_t> ParseHexEntry(const std::string& text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int digit = (c >= '0' && c <= '9') ? c - '0' : (std::toupper(static_cast<unsigned char>(c)) - 'A' + 10);
        value = value * 16 + static_cast<std::uint32_t>(digit);
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
}

void Document::OpenFile() {
    messageBox_.reset();
    filePath_ = dialogFileName_;
    fileName_ = NamePart(filePath_);
    caption_ = BaseCaption() + " - " + fileName_;

    // Dropping the previous parse frees everything it held.
    iso_.reset();
    avi_.reset();
    fileKind_ = 0;
    ResetView();

    FileSource file;
    if (!file.Open(filePath_)) {
        status_ = "File Open Fail!!! - " + filePath_;
        return;
    }
    status_ = fileName_ + " Open";
    fileSize_ = file.Size();

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
    if (nodeIndex < 0 || static_cast<std::uint64_t>(nodeIndex) >= tree_.Count()) return;
    ClearDescriptionBuffer();
    if ((fileKind_ & kFileKindIso) && iso_) {
        DisplayIsoBoxInfo(*this, *iso_, nodeIndex);
    } else if ((fileKind_ & kFileKindAvi) && avi_) {
        ShowChunkDescription(*this, *avi_, nodeIndex);
    }
}

void Document::Button1Click(const std::string& offsetText, const std::string& sizeText) {
    messageBox_.reset();
    const std::optional<std::uint32_t> offset = ParseHexEntry(offsetText);
    if (!offset) {
        messageBox_ = "'0x" + offsetText + "' is not a valid integer value";
        return;
    }
    const std::optional<std::uint32_t> size = ParseHexEntry(sizeText);
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
        char text[128];
        std::snprintf(text, sizeof text, "Offset+Size is out of FileSize. (%#llX > %#llX)",
                      static_cast<unsigned long long>(offset + size), static_cast<unsigned long long>(fileSize_));
        status_ = text;
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
    fileInfo_.Replace(descriptionBuffer_);
}

}  // namespace kestrova
