// One table of every box type the full view knows, joined from the rows each
// family file contributes and keyed by (parent type, type).

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "iso/full/FullParse.h"

namespace kestrova::full {
namespace {

struct Table {
    std::vector<BoxRule> rows;
    std::unordered_map<std::uint64_t, std::int32_t> index;  // parent << 32 | type

    Table() {
        for (const auto rules : {MovieBoxRules(), TableBoxRules(), TrackEntryBoxRules(), SampleEntryRules(),
                                 AvcHevcBoxRules(), OtherVideoBoxRules(), AudioConfigBoxRules(), FragmentBoxRules(),
                                 ProtectionBoxRules(), MetadataBoxRules(), ItemBoxRules()})
            rows.insert(rows.end(), rules.begin(), rules.end());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const std::uint64_t key = std::uint64_t{rows[i].parent} << 32 | rows[i].type;
            // The first row for a key wins, so a family cannot silently replace another's.
            index.emplace(key, static_cast<std::int32_t>(i));
        }
    }
};

const Table& TheTable() {
    static const Table table;
    return table;
}

}  // namespace

const BoxRule* FindBoxRule(std::uint32_t parentType, std::uint32_t type) {
    const Table& t = TheTable();
    auto it = t.index.find(std::uint64_t{parentType} << 32 | type);
    if (it == t.index.end()) it = t.index.find(type);
    // Any reference type under tref is a list of track IDs, named or not.
    constexpr std::uint32_t kTref = 0x74726566, kHint = 0x68696E74;
    if (it == t.index.end() && parentType == kTref) it = t.index.find(std::uint64_t{kTref} << 32 | kHint);
    constexpr std::uint32_t kIlst = 0x696C7374, kUdta = 0x75647461;
    if (it == t.index.end() && parentType == kIlst) it = t.index.find(std::uint64_t{kIlst} << 32 | kAnyIlstItem);
    if (it == t.index.end() && parentType == kUdta && (type >> 24) == 0xA9)
        it = t.index.find(std::uint64_t{kUdta} << 32 | kAnyUdtaText);
    return it == t.index.end() ? nullptr : &t.rows[static_cast<std::size_t>(it->second)];
}

const BoxRule& RuleAt(std::int32_t index) { return TheTable().rows.at(static_cast<std::size_t>(index)); }

std::int32_t RuleIndex(const BoxRule* rule) {
    if (rule == nullptr) return -1;
    return static_cast<std::int32_t>(rule - TheTable().rows.data());
}

}  // namespace kestrova::full
