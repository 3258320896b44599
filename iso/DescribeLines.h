#pragma once
// Appends description lines whose values come from one decoded box body, each
// with the bytes it was read from. Internal to the ISO presentation.

#include <string>
#include <string_view>

#include "common/DocumentView.h"
#include "common/Formatters.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

class LineWriter {
public:
    LineWriter(DocumentView& view, const BodyBytes& body) : view_(view), rs_(view.Settings()), body_(body) {}

    const RegionalSettings& Settings() const { return rs_; }
    ByteRange Field(std::uint64_t pos, std::uint64_t len) const { return body_.Field(pos, len); }

    // A heading, a separator or a label standing alone.
    void Plain(std::string text) { view_.AddDescriptionLine(std::move(text)); }
    void Line(std::string text, ByteRange range) { view_.AddDescriptionLine(std::move(text), range); }
    void Line(std::string text, std::uint64_t pos, std::uint64_t len) { Line(std::move(text), Field(pos, len)); }

    void Dec32(std::string_view label, std::uint64_t v, std::uint64_t pos, std::uint64_t len = 4) {
        Line(Text(label, v, 10), pos, len);
    }
    void Dec24(std::string_view label, std::uint64_t v, std::uint64_t pos, std::uint64_t len = 3) {
        Line(Text(label, v, 8), pos, len);
    }
    void Dec16(std::string_view label, std::uint64_t v, std::uint64_t pos, std::uint64_t len = 2) {
        Line(Text(label, v, 6), pos, len);
    }
    void Dec8(std::string_view label, std::uint64_t v, std::uint64_t pos, std::uint64_t len = 1) {
        Line(Text(label, v, 4), pos, len);
    }
    // The same forms for a value whose bytes are given (or none: ByteRange{}).
    void Dec32(std::string_view label, std::uint64_t v, ByteRange r) { Line(Text(label, v, 10), r); }
    void Dec16(std::string_view label, std::uint64_t v, ByteRange r) { Line(Text(label, v, 6), r); }
    void Dec8(std::string_view label, std::uint64_t v, ByteRange r) { Line(Text(label, v, 4), r); }

    // One numbered table entry: prefix, "#n   : ", the value; built in one string.
    void Entry(std::string_view prefix, std::size_t i, std::uint32_t v, std::uint64_t pos) {
        scratch_.assign(prefix);
        AppendEntryNumber(scratch_, static_cast<std::int64_t>(i));
        AppendDecHex(scratch_, v, 10, rs_);
        Line(std::string(scratch_), pos, 4);  // sized to fit: a long table keeps no slack
    }

    // The label, the moment on the next pane line and the number on the one after.
    void Time(std::string_view label, std::uint64_t seconds, std::uint64_t pos, std::uint64_t len) {
        Line(std::string(label) + Time1904Text(seconds, rs_) + DecHex32Text(seconds, rs_), pos, len);
    }

    // The version and flags of a full box (its first four body bytes).
    void VersionFlags(std::uint32_t versionFlags) {
        Dec8("version  : ", versionFlags & 0xFF, 0, 1);
        Dec24("flags    : ", versionFlags >> 8, 1, 3);
    }

private:
    std::string Text(std::string_view label, std::uint64_t v, int hexWidth) {
        scratch_.assign(label);
        AppendDecHex(scratch_, v, hexWidth, rs_);
        return std::string(scratch_);
    }

    DocumentView& view_;
    const RegionalSettings& rs_;
    BodyBytes body_;
    std::string scratch_;
};

// The range of a descriptor length's bytes, none where it was not read.
inline ByteRange LengthRange(const LineWriter& w, const DescriptorLength& length) {
    return length.bytes == 0 ? ByteRange{} : w.Field(length.pos, length.bytes);
}

}  // namespace kestrova
