// The uuid boxes whose user type the full view knows: one row each, with the
// name shown after the user type and the function that describes the body.

#include <algorithm>
#include <array>
#include <string>

#include "iso/full/Fields.h"
#include "iso/full/FullParse.h"

namespace kestrova::full {

// Text that is shown line by line; each line lights its own bytes.
void DescribeTextLines(Fields& f, const BoxContext&) {
    const auto body = f.Body();
    constexpr std::uint64_t kMaxTextLines = 100'000;
    std::uint64_t lines = 0;
    std::uint64_t pos = f.Pos();
    while (pos < body.size()) {
        if (lines++ == kMaxTextLines) {
            f.Heading("(only the first 100,000 lines are shown)");
            return;
        }
        std::uint64_t end = pos;
        while (end < body.size() && body[end] != '\n' && body[end] != 0) ++end;
        std::string text(reinterpret_cast<const char*>(body.data() + pos), end - pos);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::uint64_t next = end < body.size() ? end + 1 : end;
        f.Raw("   " + text, f.Range(pos, next - pos));
        pos = next;
    }
    f.Seek(pos);
}

namespace {

using Usertype = std::array<std::uint8_t, 16>;

struct UuidRule {
    Usertype usertype;
    const char* name;
    DescribeFn describe;
};

const UuidRule kUuids[] = {
    {{0x6D, 0x1D, 0x9B, 0x05, 0x42, 0xD5, 0x44, 0xE6, 0x80, 0xE2, 0x14, 0x1D, 0xAF, 0xF7, 0x57, 0xB2},
     "(tfxd: Smooth Streaming fragment time)", DescribeTfxd},
    {{0xD4, 0x80, 0x7E, 0xF2, 0xCA, 0x39, 0x46, 0x95, 0x8E, 0x54, 0x26, 0xCB, 0x9E, 0x46, 0xA7, 0x9F},
     "(tfrf: Smooth Streaming times of the next fragments)", DescribeTfrf},
    {{0x89, 0x74, 0xDB, 0xCE, 0x7B, 0xE7, 0x4C, 0x51, 0x84, 0xF9, 0x71, 0x48, 0xF9, 0x88, 0x25, 0x54},
     "(PIFF track encryption)", DescribePiffTrackEncryption},
    {{0xA2, 0x39, 0x4F, 0x52, 0x5A, 0x9B, 0x4F, 0x14, 0xA2, 0x44, 0x6C, 0x42, 0x7C, 0x64, 0x8D, 0xF4},
     "(PIFF sample encryption)", DescribePiffSampleEncryption},
    {{0xD0, 0x8A, 0x4F, 0x18, 0x10, 0xF3, 0x4A, 0x82, 0xB6, 0xC8, 0x32, 0xD8, 0xAB, 0xA1, 0x83, 0x0D},
     "(PIFF protection system specific header)", DescribePiffPssh},
    {{0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8, 0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC},
     "(XMP metadata)", DescribeTextLines},
};

}  // namespace

bool DescribeUuidBody(Fields& f, const BoxContext& c, std::span<const std::uint8_t> usertype) {
    if (usertype.size() != 16) return false;
    for (const UuidRule& rule : kUuids) {
        if (!std::equal(usertype.begin(), usertype.end(), rule.usertype.begin())) continue;
        f.Meaning(rule.name);
        rule.describe(f, c);
        return true;
    }
    return false;
}

}  // namespace kestrova::full
