#pragma once
// The box decoders the walk calls. Each turns the body bytes of one box into
// its row and nothing else: what a box passes on to its track and to the
// summary is the walk's business, so a box found out of place can be
// decoded for its own description without touching anything else.
// Positions are body positions: the first byte after the box header is 0.

#include <span>
#include <vector>

#include "common/ByteReader.h"
#include "iso/Mp4ParseIso.h"

namespace kestrova {

// Reads the body of a box, bounded by the box, the file, kMaxBoxRead and limit
// (boxes of fixed layout need only their first bytes).
ByteReader ReadBody(FileSource& file, const BoxRecord& box, std::vector<std::uint8_t>& buffer,
                    std::uint64_t limit = kMaxBoxRead);
RowBase MakeRowBase(const BoxRecord& box, const ByteReader& body);

// The full-box word: the version (body byte 0) in the low 8 bits, the flags
// (bytes 1 to 3) above it.
inline std::uint32_t ReadVersionFlags(const ByteReader& body) { return body.U8(0) | (body.U24BE(1) << 8); }

// The MPEG-4 expandable size at pos: up to four bytes, 7 bits each, on while
// the top bit is set. Bytes past the body are not read.
DescriptorLength ReadDescriptorLength(const ByteReader& body, std::uint32_t pos);

// A stored text from pos up to end (both body positions): up to its first zero
// (unit), UTF-16 after a byte-order mark, else UTF-8, else Latin-1.
BoxText DecodeBoxText(const ByteReader& body, std::uint64_t pos, std::uint64_t end);

void DecodeFtyp(const ByteReader& body, FtypRow& row);
void DecodeMvhd(const ByteReader& body, MvhdRow& row);
void DecodeIods(const ByteReader& body, IodsRow& row);
void DecodeTkhd(const ByteReader& body, TkhdRow& row);
void DecodeMpod(const ByteReader& body, MpodRow& row);
void DecodeMdhd(const ByteReader& body, MdhdRow& row);
void DecodeHdlr(const ByteReader& body, HdlrRow& row);
void DecodeVmhd(const ByteReader& body, VmhdRow& row);
void DecodeSmhd(const ByteReader& body, SmhdRow& row);
void DecodeHmhd(const ByteReader& body, HmhdRow& row);
void DecodeDref(const ByteReader& body, DrefRow& row);
void DecodeUrl(const ByteReader& body, UrlRow& row);
void DecodeMetaText(const ByteReader& body, MetaTextRow& row);

void DecodeStsd(const ByteReader& body, StsdRow& row);
void DecodeStsz(const ByteReader& body, StszRow& row);
void DecodeStts(const ByteReader& body, SttsRow& row);
void DecodeStsc(const ByteReader& body, StscRow& row);
void DecodeStco(const ByteReader& body, StcoRow& row);
void DecodeStss(const ByteReader& body, StssRow& row);

// Sample entries: the fixed fields of the entry's own body.
void DecodeVisualEntry(const ByteReader& body, bool s263, VisualEntryRow& row);
void DecodeAudioEntry(const ByteReader& body, bool mp4a, AudioEntryRow& row);
void DecodeMp4s(const ByteReader& body, Mp4sRow& row);
// The AMR configuration of a samr entry, at body 28 of the entry.
void DecodeSamrConfig(const ByteReader& entryBody, AudioEntryRow& row);
// An AMR (damr) or EVRC (devc) configuration from its own body.
void DecodeDamrFields(const ByteReader& body, std::uint32_t base, DecoderConfigFields& config);
void DecodeDevcFields(const ByteReader& body, std::uint32_t base, DecoderConfigFields& config);
// The AMR mode the summary takes from a mode set (1 to 8).
std::uint32_t AmrModeOf(std::uint16_t modeSet);

// The ES descriptor. The audio form also decodes an AudioSpecificConfig from
// the decoder-specific bytes when the object type is an AAC one.
void DecodeEsds(const ByteReader& body, bool audioForm, EsdsRow& row);
AudioConfig DecodeAudioSpecificConfig(std::span<const std::uint8_t> block);

}  // namespace kestrova
