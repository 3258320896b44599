#pragma once
// Hands what the codec readers read to the full view's field writer, so a
// parameter set inside a box shows like the box's own fields.

#include "codecs/Syntax.h"
#include "iso/full/Fields.h"

namespace kestrova::full {

class CodecSink final : public codecs::FieldSink {
public:
    explicit CodecSink(Fields& fields) : f_(fields) {}

    void Field(std::string_view label, std::uint64_t value, unsigned bits, ByteRange range) override {
        f_.Value(label, f_.Number(value, Width(bits, range)), range);
    }
    void SignedField(std::string_view label, std::int64_t value, unsigned bits, ByteRange range) override {
        const unsigned bytes = Width(bits, range);
        const std::uint64_t raw = static_cast<std::uint64_t>(value) & (bytes >= 8 ? ~0ull : (1ull << (8 * bytes)) - 1);
        f_.Value(label, f_.SignedNumber(value, raw, bytes), range);
    }
    void TextField(std::string_view label, std::string text, ByteRange range) override {
        f_.Value(label, std::move(text), range);
    }
    void Meaning(std::string_view text) override { f_.Meaning(text); }
    void Heading(std::string text) override { f_.Heading(std::move(text)); }
    void Derived(std::string_view label, std::string text, ByteRange span) override { f_.Derived(label, text, span); }
    void Stop(std::string text) override { f_.Heading(std::move(text)); }

private:
    // The hexadecimal is as wide as the element: its bits, or for a coded
    // element (ue(v), leb128) the bytes it spans.
    static unsigned Width(unsigned bits, const ByteRange& range) {
        if (bits != 0) return (bits + 7) / 8;
        const std::uint64_t b = range.HasBits() ? range.bitCount : range.length * 8;
        return static_cast<unsigned>(b == 0 ? 1 : b > 64 ? 8 : (b + 7) / 8);
    }

    Fields& f_;
};

}  // namespace kestrova::full
