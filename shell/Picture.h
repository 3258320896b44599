#pragma once
// Which pictures a selected box of the full view holds: a cover (a data box of
// an ilst item with a JPEG, PNG or BMP, or the covr item holding one), a 3GPP
// thumbnail (udta's thmb) and the image items of an HEIF or AVIF file. Only where the picture lies is worked
// out here; the window decodes it.

#include <cstdint>
#include <optional>

namespace kestrova {

class Document;
class FileSource;
namespace full {
struct FullParse;
}

// Past these a picture is not decoded: the window says so instead.
inline constexpr std::uint64_t kMaxPictureBytes = 64ull << 20;
inline constexpr std::uint64_t kMaxPicturePixels = 100'000'000;

enum class PictureKind : std::uint8_t { Jpeg, Png, Bmp, HeifItem };

// How libheif reaches an item: only the file's top-level images have handles;
// a thumbnail or an auxiliary image (alpha, depth) comes through the image it
// belongs to, and the tiles of a grid (or the input of another derived image) only make it up.
enum class ItemRole : std::uint8_t { Image, Thumbnail, Auxiliary, Input };

struct PictureSource {
    PictureKind kind = PictureKind::Jpeg;
    // The encoded bytes of a JPEG, PNG or BMP; for an item, what its iloc
    // extents in the file add up to (length 0 when the iloc lists none).
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint32_t itemId = 0;
    std::uint32_t itemType = 0;
    ItemRole role = ItemRole::Image;
    std::uint32_t ownerId = 0;  // the image a thumbnail, auxiliary image or input belongs to
    bool operator==(const PictureSource&) const = default;
};

// The picture of the box of this node (1 or more) of the full view, reading a
// few of its bytes and, for an item, the boxes of its meta; none when it holds none.
std::optional<PictureSource> PictureOfNode(const full::FullParse& parse, FileSource& file, std::int64_t node);
// The picture of the node the document's last click went to.
std::optional<PictureSource> PictureOfSelection(const Document& doc);

// "JPEG", "PNG", "BMP" or "HEIF item".
const char* PictureKindName(PictureKind kind);

}  // namespace kestrova
