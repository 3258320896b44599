// Parsers of the header boxes; each reads its box body once.

#include <algorithm>

#include "common/ByteReader.h"
#include "iso/BoxParsers.h"

namespace kestrova {
namespace {

// The box body after its header, at most kMaxBoxRead bytes of it.
ByteReader ReadBody(FileSource& file, const BoxRecord& box, std::vector<std::uint8_t>& buffer) {
    const std::uint64_t extent = box.Extent();
    const std::uint64_t length = extent > box.HeaderLength() ? extent - box.HeaderLength() : 0;
    file.ReadAt(box.offset + box.HeaderLength(), std::min(length, kMaxBoxRead), buffer);
    return ByteReader(buffer);
}

}  // namespace

void ParseFtyp(FileSource& file, IsoParse& parse, BoxRecord& box) {
    std::vector<std::uint8_t> buffer;
    const ByteReader body = ReadBody(file, box, buffer);
    box.row = static_cast<std::int32_t>(parse.tables.ftyp.size());
    FtypRow& row = parse.tables.ftyp.emplace_back();
    row.header = {box.offset, box.size, box.type};
    row.body = {box.BodyOffset(), body.Size()};
    row.majorBrand = body.Fourcc(0);
    row.minorVersionHigh = body.U16BE(4);
    row.minorVersionLow = body.U16BE(6);
    row.compatibleBrands.clear();
    const std::uint64_t extent = box.Extent();
    const std::uint64_t first = box.HeaderLength() + 8;
    if (extent <= first) return;
    // Brands are taken while their position is inside the box, but not past what
    // could be read: a size that points far beyond the file lists no phantom brands.
    std::uint64_t count = (extent - first + 3) / 4;
    const std::uint64_t readable = body.Size() > 8 ? body.Size() - 8 : 0;
    count = std::min(count, (readable + 3) / 4);
    row.compatibleBrands.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) row.compatibleBrands.push_back(body.Fourcc(8 + 4 * i));
}

}  // namespace kestrova
