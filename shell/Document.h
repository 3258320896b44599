#pragma once
// The per-file state of the main window and the commands that change it:
// open, reload, drop, a click on a tree node and Read Offset. Both front ends
// (the Qt window and kestrova-dump) drive a Document and render what it holds.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/DocumentView.h"
#include "common/NodeList.h"
#include "common/RegionalSettings.h"
#include "shell/Pane.h"

namespace kestrova {

struct IsoParse;
struct AviParse;
namespace full {
struct FullParse;
struct AviFullParse;
}

// The classic view shows what the original design decodes; the full view reads
// every box a file holds.
enum class ViewKind { Classic, Full };

inline constexpr const char* kVersionText = "0.6.1";
inline constexpr std::size_t kOffsetEditMaxLength = 8;
inline constexpr std::size_t kSizeEditMaxLength = 6;

// The captions the window starts with.
std::string BaseCaption();
const std::vector<std::string>& WelcomeText();

// The key filter of the hex entries: digits and backspace pass, a to f become
// A to F, everything else is dropped.
std::optional<char> FilterEntryKey(char c);
// Types text into an entry holding current, through the key filter and the
// length limit; a backspace removes the last character.
std::string TypeIntoEntry(std::string current, const std::string& typed, std::size_t maxLength);
// The entry text read as "0x" + text: up to sixteen hexadecimal digits (the
// program may put more than the user can type).
std::optional<std::uint64_t> ParseHexEntry(const std::string& text);

// The stretch of the file a hex dump in FILEInfo shows.
struct HexDumpExtent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool Holds(std::uint64_t byte) const { return byte >= offset && byte - offset < length; }
};

class Document final : public DocumentView {
public:
    explicit Document(RegionalSettings settings = {});
    ~Document() override;

    // The open dialog's current file name: set by the dialog and by a drop of one file.
    void SetDialogFileName(std::string path) { dialogFileName_ = std::move(path); }
    const std::string& DialogFileName() const { return dialogFileName_; }

    void OpenFile();
    void OpenFile(const std::string& path) {
        SetDialogFileName(path);
        OpenFile();
    }
    void Reload() { OpenFile(); }
    // A media segment's initialisation segment: the full view reads the
    // tracks, defaults and timescales of the segment's fragments from it.
    // Kept until set again; empty for none.
    void SetInitialisationPath(std::string path) { initPath_ = std::move(path); }
    const std::string& InitialisationPath() const { return initPath_; }
    // Opens a media segment in the full view with its initialisation segment.
    void OpenSegment(const std::string& segment, std::string init) {
        view_ = ViewKind::Full;
        initPath_ = std::move(init);
        OpenFile(segment);
    }
    // Reopens the file in the other view and selects the node of the same
    // offset and type there, else the root. Without a file only the view changes.
    void SetView(ViewKind view);
    ViewKind View() const { return view_; }
    bool IsFullView() const { return view_ == ViewKind::Full; }
    // The node the last click went to; -1 when none.
    std::int64_t ClickedNode() const { return clickedNode_; }
    void DropFiles(const std::vector<std::string>& paths);
    // A click on the node with this absolute index; nothing when there is none.
    void TreeView1Click(std::int64_t nodeIndex);
    // Read Offset with the two entry texts; a text that is no number raises the message box.
    void Button1Click(const std::string& offsetText, const std::string& sizeText);
    void Button1Click() { Button1Click(offsetEdit_, sizeEdit_); }
    // A click on a line of BOX_Description: lights the bytes of its range, and
    // dumps them first when FILEInfo does not show them all. A line without a
    // range (or no such line) clears the selection.
    void SelectLine(std::int64_t line);
    // A click on a byte of the dump: selects the line whose range holds it,
    // the narrowest, and the first of equal ones.
    void SelectByte(std::uint64_t offset);
    // Go to offset: a click on node (the innermost one holding byte), then a
    // click on the byte, dumped first when the dump does not reach it; with no
    // line holding it, the byte alone is lit.
    void GoToByte(std::int64_t node, std::uint64_t byte);

    // What the front ends render.
    const std::string& Caption() const { return caption_; }
    const std::string& StatusText() const { return status_; }
    const std::string& OffsetEditText() const { return offsetEdit_; }
    const std::string& SizeEditText() const { return sizeEdit_; }
    bool ReloadEnabled() const { return reloadEnabled_; }
    const NodeList& Tree() const { return tree_; }
    const Pane& BoxDescriptionPane() const { return boxDescription_; }
    const Pane& FileInfoPane() const { return fileInfo_; }
    // The text of the error box the last command raised, if any.
    const std::optional<std::string>& MessageBox() const { return messageBox_; }
    const std::optional<std::int64_t>& SelectedLine() const { return selectedLine_; }
    const std::optional<ByteRange>& Highlight() const { return highlight_; }
    // What the dump in FILEInfo shows; none while FILEInfo holds anything else.
    const std::optional<HexDumpExtent>& Dump() const { return dump_; }
    // The FILEInfo line of the dump row that holds byte, if the dump shows it.
    std::optional<std::int64_t> DumpLineOf(std::uint64_t byte) const;
    // The lit bytes the dump shows, as "00 00 00 14"; "" when none.
    std::string HighlightedBytesText() const;
    const std::string& FilePath() const { return filePath_; }
    // How many digits the Offset entry takes: sixteen while a file past 4 GiB is open.
    std::size_t OffsetEditMaxLength() const { return fileSize_ > 0xFFFFFFFFull ? 16 : kOffsetEditMaxLength; }
    const std::string& FileName() const { return fileName_; }
    std::uint64_t FileSize() const { return fileSize_; }
    std::uint32_t RecordCount() const { return recordCount_; }
    const IsoParse* Iso() const { return iso_.get(); }
    const AviParse* Avi() const { return avi_.get(); }
    const full::FullParse* Full() const { return full_.get(); }
    // The full view of an AVI file.
    const full::AviFullParse* AviFull() const { return aviFull_.get(); }
    RegionalSettings& MutableSettings() { return settings_; }
    // Description lines keep their byte ranges; only the benchmark turns this off.
    void SetRangeRecording(bool on) { recordRanges_ = on; }

    // What the user types into the entries (after the key filter).
    void SetOffsetEditFromUser(std::string text) { offsetEdit_ = std::move(text); }
    void SetSizeEditFromUser(std::string text) { sizeEdit_ = std::move(text); }

    // DocumentView
    using DocumentView::AddDescriptionLine;
    void AddDescriptionLine(std::string line, ByteRange range) override {
        descriptionBuffer_.push_back(std::move(line));
        if (recordRanges_) descriptionRanges_.push_back(range);
    }
    void ClearDescriptionBuffer() override {
        descriptionBuffer_.clear();
        descriptionRanges_.clear();
    }
    // The buffer's texts move into the pane: nothing reads them again before the
    // next description or dump empties the buffer, and a long table is not copied.
    void ShowDescription() override { boxDescription_.Replace(std::move(descriptionBuffer_), descriptionRanges_); }
    void ClearBoxDescription() override { boxDescription_.Clear(); }
    void AddBoxDescriptionLine(const std::string& line) override { boxDescription_.Append(line); }
    void ClearFileInfo() override {
        fileInfo_.Clear();
        dump_.reset();
    }
    void AddFileInfoLine(const std::string& line) override {
        fileInfo_.Append(line);
        dump_.reset();
    }
    void SetOffsetEditText(std::string text) override { offsetEdit_ = std::move(text); }
    void SetSizeEditText(std::string text) override { sizeEdit_ = std::move(text); }
    void ShowHexRange(std::uint64_t offset, std::uint64_t size) override;
    const std::string& GetFilePath() const override { return filePath_; }
    std::uint32_t FileKind() const override { return fileKind_; }
    const RegionalSettings& Settings() const override { return settings_; }

private:
    void ResetView();
    void ClearSelection() {
        selectedLine_.reset();
        highlight_.reset();
        // The bits of a lit field stop being news once the field is no longer lit.
        if (statusUnderBits_) status_ = std::move(*statusUnderBits_);
        statusUnderBits_.reset();
    }
    // Where the dump for a range starts and ends: the end of the clicked node,
    // or of the record that holds the range when it lies outside that node.
    std::uint64_t DumpEndFor(const ByteRange& range) const;
    // The status line of a lit bit field: "bits 3–7 of 0x1A2B".
    void SayBits();
    // Offset and type (or chunk id) of the node's record; none for the root.
    std::optional<std::pair<std::uint64_t, std::uint32_t>> NodeKey(std::int64_t node) const;

    RegionalSettings settings_;
    std::string dialogFileName_;
    std::string filePath_;
    std::string initPath_;
    std::string fileName_;
    std::uint64_t fileSize_ = 0;
    std::uint32_t fileKind_ = 0;
    std::uint32_t recordCount_ = 0;
    std::string caption_;
    std::string status_;
    std::string offsetEdit_ = "0";
    std::string sizeEdit_ = "0";
    bool reloadEnabled_ = false;
    NodeList tree_;
    std::vector<std::string> descriptionBuffer_;
    std::vector<ByteRange> descriptionRanges_;  // one per buffer entry
    Pane boxDescription_;
    Pane fileInfo_;
    std::optional<std::string> messageBox_;
    std::int64_t clickedNode_ = -1;
    std::optional<HexDumpExtent> dump_;
    std::optional<std::int64_t> selectedLine_;
    std::optional<ByteRange> highlight_;
    std::optional<std::string> statusUnderBits_;  // the status a bit field's text replaced
    bool recordRanges_ = true;
    std::unique_ptr<IsoParse> iso_;
    std::unique_ptr<AviParse> avi_;
    std::unique_ptr<full::FullParse> full_;
    std::unique_ptr<full::AviFullParse> aviFull_;
    ViewKind view_ = ViewKind::Classic;
};

}  // namespace kestrova
