// Common encryption in the full view: the scheme boxes, tenc, pssh with its
// system named and its data decoded, senc in a movie and in fragments with
// the IV size from tenc or a seig group, and the PIFF uuid forms. Every line
// is compared with its bytes, then checked against the file.

#include <gtest/gtest.h>

#include "FullCaseFixtures.h"
#include "support/RangeChecker.h"

namespace kestrova::test {
namespace {

Bytes Top(const Bytes& box) { return Cat({Box("ftyp", Text("isom")), box}); }

Bytes Kid(std::uint8_t first) {
    Bytes b(16);
    for (std::size_t i = 0; i < 16; ++i) b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

Bytes Tenc(std::uint8_t ivSize) { return FullBox("tenc", 0, 0, Cat({U16(0), U8(1), U8(ivSize), Kid(0xA0)})); }

// An encrypted avc1 track (ID 1) whose stbl ends with extra boxes.
Bytes EncryptedMovie(const Bytes& schiChild, const Bytes& stblExtra, const Bytes& more = {}) {
    const Bytes sinf = Box("sinf", {Box("frma", Text("avc1")), FullBox("schm", 0, 0, Cat({Text("cenc"), U32(0x10000)})),
                                    Box("schi", {schiChild})});
    const Bytes encv = Box("encv", Cat({Zeros(6), U16(1), Zeros(16), U16(64), U16(48), U32(0x480000), U32(0x480000),
                                        U32(0), U16(1), Zeros(32), U16(24), U16(0xFFFF), sinf}));
    const Bytes tkhd = FullBox("tkhd", 0, 3, Cat({U32(0), U32(0), U32(1), Zeros(68)}));
    const Bytes hdlr = FullBox("hdlr", 0, 0, Cat({U32(0), Text("vide"), Zeros(12), U8(0)}));
    const Bytes stsd = FullBox("stsd", 0, 0, Cat({U32(1), encv}));
    return Cat({Box("ftyp", Text("isom")),
                Box("moov", {Box("trak", {tkhd, Box("mdia", {hdlr, Box("minf", {Box("stbl", Cat({stsd, stblExtra}))})})}),
                             Box("mvex", {FullBox("trex", 0, 0, Cat({U32(1), U32(1), U32(0), U32(0), U32(0)}))})}),
                more});
}

// A moof for track 1 with a run of two 10-byte samples and the traf's extra boxes; then its mdat.
Bytes Fragment(const Bytes& trafExtra) {
    const Bytes trun = FullBox("trun", 0, 0x301, Cat({U32(2), U32(0), U32(100), U32(10), U32(100), U32(10)}));
    return Cat({Box("moof", {FullBox("mfhd", 0, 0, U32(1)),
                             Box("traf", Cat({FullBox("tfhd", 0, 0x20000, U32(1)), trun, trafExtra}))}),
                Box("mdat", Zeros(20))});
}

std::vector<std::string> RangeFailures(const Bytes& file, const char* type) {
    TempFile temp(file, "protected.mp4");
    Document doc;
    doc.SetView(ViewKind::Full);
    doc.OpenFile(temp.Path());
    FullClick(doc, FullNodeOf(doc, type));
    return CheckPaneRanges(doc, type);
}

TEST(FullProtectionBoxes, SchemeAndSystemHeaders) {
    // Widevine data: key_id (tag 2) and provider (tag 3), then protection_scheme (tag 9) 'cenc'.
    const Bytes widevine = Cat({U8(0x12), U8(16), Kid(0x10), U8(0x1A), U8(2), Text("ab"), U8(0x48), U8(0xE3), U8(0xDC), U8(0x95), U8(0x9B), U8(0x06)});
    // A PlayReady header object of one rights management record "<W>" in UTF-16.
    const Bytes playReady = Cat({LE32(16), LE16(1), LE16(1), LE16(6), LE16('<'), LE16('W'), LE16('>')});
    const Bytes wvId = {0xED, 0xEF, 0x8B, 0xA9, 0x79, 0xD6, 0x4A, 0xCE, 0xA3, 0xC8, 0x27, 0xDC, 0xD5, 0x1D, 0x21, 0xED};
    const Bytes prId = {0x9A, 0x04, 0xF0, 0x79, 0x98, 0x40, 0x42, 0x86, 0xAB, 0x92, 0xE6, 0x5B, 0xE0, 0x88, 0x5F, 0x95};
    const std::vector<ClickCase> cases = {
        {"schm with a URI", Top(Box("sinf", {FullBox("schm", 0, 1, Cat({Text("cbcs"), U32(0x10000), Text("u"), U8(0)}))})), "schm", {
             {"version        : 0 (0000)", R(28, 1)},
             {"flags          : 1 (0X000001)", R(29, 3)},
             {"scheme_type    : cbcs (0X63626373) (AES-CBC, pattern)", R(32, 4)},
             {"scheme_version : 65,536 (0X00010000) (1.0)", R(36, 4)},
             {"scheme_uri     : \"u\"", R(40, 2)},
         }},
        {"frma", Top(Box("sinf", {Box("frma", Text("mp4a"))})), "frma", {
             {"data_format : mp4a (0X6D703461)", R(28, 4)},
         }},
        {"tenc version 0", Top(Box("schi", {Tenc(8)})), "tenc", {
             {"version                    : 0 (0000)", R(28, 1)},
             {"flags                      : 0 (00000000)", R(29, 3)},
             {"reserved                   : 0 (0000)", R(32, 1)},
             {"reserved                   : 0 (0000)", R(33, 1)},
             {"default_isProtected        : 1 (0X01) (protected)", R(34, 1)},
             {"default_Per_Sample_IV_Size : 8 (0X08)", R(35, 1)},
             {"default_KID                : a0a1a2a3-a4a5-a6a7-a8a9-aaabacadaeaf", R(36, 16)},
         }},
        {"tenc version 1 with a pattern and a constant IV",
         Top(Box("schi", {FullBox("tenc", 1, 0, Cat({U8(0), U8(0x19), U8(1), U8(0), Kid(0xB0), U8(8), Kid(0x00)}))})), "tenc", {
             {"version                    : 1 (0X01)", R(28, 1)},
             {"flags                      : 0 (00000000)", R(29, 3)},
             {"reserved                   : 0 (0000)", R(32, 1)},
             {"default_crypt_byte_block   : 1 (0X01)", ByteRange::Bits(264, 4)},
             {"default_skip_byte_block    : 9 (0X09)", ByteRange::Bits(268, 4)},
             {"default_isProtected        : 1 (0X01) (protected)", R(34, 1)},
             {"default_Per_Sample_IV_Size : 0 (0000) (a constant IV)", R(35, 1)},
             {"default_KID                : b0b1b2b3-b4b5-b6b7-b8b9-babbbcbdbebf", R(36, 16)},
             {"default_constant_IV_size   : 8 (0X08)", R(52, 1)},
             {"default_constant_IV        : 00 01 02 03 04 05 06 07", R(53, 8)},
             {"data                       : 08 09 0A 0B 0C 0D 0E 0F", R(61, 8)},
         }},
        {"pssh version 1, Widevine, two KIDs", Top(FullBox("pssh", 1, 0, Cat({wvId, U32(2), Kid(0x10), Kid(0x20), U32(static_cast<std::uint32_t>(widevine.size())), widevine}))), "pssh", {
             {"version   : 1 (0X01)", R(20, 1)},
             {"flags     : 0 (00000000)", R(21, 3)},
             {"SystemID  : edef8ba9-79d6-4ace-a3c8-27dcd51d21ed Widevine", R(24, 16)},
             {"KID_count : 2 (0X00000002)", R(40, 4)},
             {"KID #1    : 10111213-1415-1617-1819-1a1b1c1d1e1f", R(44, 16)},
             {"KID #2    : 20212223-2425-2627-2829-2a2b2c2d2e2f", R(60, 16)},
             {"DataSize  : 28 (0X0000001C)", R(76, 4)},
             {"   tag 2 (key_id), wire type 2, 16 bytes: 10111213-1415-1617-1819-1a1b1c1d1e1f", R(80, 18)},
             {"   tag 3 (provider), wire type 2, 2 bytes: \"ab\"", R(98, 4)},
             {"   tag 9 (protection_scheme), wire type 0, 1,667,591,779 cenc", R(102, 6)},
         }},
        {"pssh version 0, PlayReady", Top(FullBox("pssh", 0, 0, Cat({prId, U32(16), playReady}))), "pssh", {
             {"version          : 0 (0000)", R(20, 1)},
             {"flags            : 0 (00000000)", R(21, 3)},
             {"SystemID         : 9a04f079-9840-4286-ab92-e65be0885f95 PlayReady", R(24, 16)},
             {"DataSize         : 16 (0X00000010)", R(40, 4)},
             {"PlayReady length : 16 (little-endian)", R(44, 4)},
             {"record_count     : 1 (little-endian)", R(48, 2)},
             {"record #1", {}},
             {"record_type      : 1 (little-endian) (rights management header)", R(50, 2)},
             {"record_length    : 6 (little-endian)", R(52, 2)},
             {"record_value     : <W>", R(54, 6)},
         }},
        {"pssh of an unknown system, DataSize past the box", Top(FullBox("pssh", 0, 0, Cat({Kid(0), U32(9), U8(0x42)}))), "pssh", {
             {"version  : 0 (0000)", R(20, 1)},
             {"flags    : 0 (00000000)", R(21, 3)},
             {"SystemID : 00010203-0405-0607-0809-0a0b0c0d0e0f", R(24, 16)},
             {"DataSize : 9 (0X00000009)", R(40, 4)},
             {"(DataSize says more than the box holds)", {}},
             {"Data     : 42", R(44, 1)},
         }},
        {"pssh counting more KIDs than it holds", Top(FullBox("pssh", 1, 0, Cat({Kid(0), U32(0xFFFFFFFF), Kid(0x30)}))), "pssh", {
             {"version   : 1 (0X01)", R(20, 1)},
             {"flags     : 0 (00000000)", R(21, 3)},
             {"SystemID  : 00010203-0405-0607-0809-0a0b0c0d0e0f", R(24, 16)},
             {"KID_count : 4,294,967,295 (0XFFFFFFFF)", R(40, 4)},
             {"KID #1    : 30313233-3435-3637-3839-3a3b3c3d3e3f", R(44, 16)},
             {"(the box ends at offset 60: KID #2 needs 16 bytes, 0 are left)", {}},
         }},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shown(DescribeInFullView(c.file, c.type)), Shown(c.lines));
        EXPECT_EQ(RangeFailures(c.file, c.type), std::vector<std::string>{});
    }
}

TEST(FullProtectionBoxes, SampleEncryption) {
    // senc: two samples, 8-byte IVs, subsamples.
    const Bytes subsampled = FullBox("senc", 0, 2, Cat({U32(2), U64(0x1111111111111111), U16(2), U16(5), U32(100), U16(0), U32(10),
                                                        U64(0x2222222222222222), U16(0)}));
    const Bytes plain = FullBox("senc", 0, 0, Cat({U32(2), U64(1), U64(2)}));
    // A seig group of 16-byte IVs in the traf, the second sample mapped to it.
    const Bytes sgpd = FullBox("sgpd", 1, 0, Cat({Text("seig"), U32(20), U32(1), U8(0), U8(0), U8(1), U8(16), Kid(0xC0)}));
    const Bytes sbgp = FullBox("sbgp", 0, 0, Cat({Text("seig"), U32(2), U32(1), U32(0), U32(1), U32(0x10001)}));
    const Bytes mixed = FullBox("senc", 0, 0, Cat({U32(2), U64(3), Kid(0x40)}));
    const std::vector<ClickCase> cases = {
        {"senc in the movie, subsamples", EncryptedMovie(Tenc(8), subsampled), "senc", {
             {"version            : 0 (0000)", R(367, 1)},
             {"flags              : 2 (0X000002) use-subsample-encryption", R(368, 3)},
             {"sample_count       : 2 (0X00000002)", R(371, 4)},
             {"Per_Sample_IV_Size : 8 (tenc default, of the tenc at offset 327)", R(342, 1)},
             {"   sample #1   : track sample #1, IV 0x1111111111111111, subsample_count 2", R(375, 10)},
             {"      subsample #1   : BytesOfClearData 5 (0X0005), BytesOfProtectedData 100 (0X00000064)", R(385, 6)},
             {"      subsample #2   : BytesOfClearData 0 (000000), BytesOfProtectedData 10 (0X0000000A)", R(391, 6)},
             {"   sample #2   : track sample #2, IV 0x2222222222222222, subsample_count 0", R(397, 10)},
         }},
        {"senc in a fragment", EncryptedMovie(Tenc(8), {}, Fragment(plain)), "senc", {
             {"version            : 0 (0000)", R(491, 1)},
             {"flags              : 0 (00000000)", R(492, 3)},
             {"sample_count       : 2 (0X00000002)", R(495, 4)},
             {"Per_Sample_IV_Size : 8 (tenc default, of the tenc at offset 327)", R(342, 1)},
             {"   sample #1   : track sample #1, IV 0x0000000000000001", R(499, 8)},
             {"   sample #2   : track sample #2, IV 0x0000000000000002", R(507, 8)},
         }},
        {"senc in a fragment, a seig group for the second sample", EncryptedMovie(Tenc(8), {}, Fragment(Cat({sgpd, sbgp, mixed}))), "senc", {
             {"version            : 0 (0000)", R(571, 1)},
             {"flags              : 0 (00000000)", R(572, 3)},
             {"sample_count       : 2 (0X00000002)", R(575, 4)},
             {"Per_Sample_IV_Size : 8 (tenc default, of the tenc at offset 327)", R(342, 1)},
             {"   sample #1   : track sample #1, IV 0x0000000000000003", R(579, 8)},
             {"Per_Sample_IV_Size : 16 (seig default, of the sgpd at offset 483)", R(510, 1)},
             {"   sample #2   : track sample #2, IV 0x404142434445464748494A4B4C4D4E4F", R(587, 16)},
         }},
        {"senc without tenc or seig", Top(FullBox("senc", 0, 0, Cat({U32(1), U64(1)}))), "senc", {
             {"version      : 0 (0000)", R(20, 1)},
             {"flags        : 0 (00000000)", R(21, 3)},
             {"sample_count : 1 (0X00000001)", R(24, 4)},
             {"(the IV size is not known: the track has no tenc and no seig sample group applies; the samples are shown as bytes)", {}},
             {"data         : 00 00 00 00 00 00 00 01", R(28, 8)},
         }},
        {"senc counting more samples than it holds", EncryptedMovie(Tenc(16), FullBox("senc", 0, 2, Cat({U32(1000), Kid(0), U16(0xFFFF), U16(1)}))), "senc", {
             {"version            : 0 (0000)", R(367, 1)},
             {"flags              : 2 (0X000002) use-subsample-encryption", R(368, 3)},
             {"sample_count       : 1,000 (0X000003E8)", R(371, 4)},
             {"Per_Sample_IV_Size : 16 (tenc default, of the tenc at offset 327)", R(342, 1)},
             {"   sample #1   : track sample #1, IV 0x000102030405060708090A0B0C0D0E0F, subsample_count 65,535", R(375, 18)},
             {"(the box ends at offset 395: subsample #1 needs 6 bytes, 2 are left)", {}},
         }},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Shown(DescribeInFullView(c.file, c.type)), Shown(c.lines));
        EXPECT_EQ(RangeFailures(c.file, c.type), std::vector<std::string>{});
    }
}

Bytes Uuid(const Bytes& usertype, std::uint8_t version, std::uint32_t flags, const Bytes& payload) {
    return Box("uuid", Cat({usertype, U8(version), U24(flags), payload}));
}

TEST(FullProtectionBoxes, PiffUuids) {
    const Bytes piffTenc = {0x89, 0x74, 0xDB, 0xCE, 0x7B, 0xE7, 0x4C, 0x51, 0x84, 0xF9, 0x71, 0x48, 0xF9, 0x88, 0x25, 0x54};
    const Bytes piffSenc = {0xA2, 0x39, 0x4F, 0x52, 0x5A, 0x9B, 0x4F, 0x14, 0xA2, 0x44, 0x6C, 0x42, 0x7C, 0x64, 0x8D, 0xF4};
    const Bytes piffPssh = {0xD0, 0x8A, 0x4F, 0x18, 0x10, 0xF3, 0x4A, 0x82, 0xB6, 0xC8, 0x32, 0xD8, 0xAB, 0xA1, 0x83, 0x0D};
    const Bytes trackEncryption = Uuid(piffTenc, 0, 0, Cat({U24(1), U8(8), Kid(0x50)}));
    const std::vector<ClickCase> cases = {
        {"PIFF track encryption", EncryptedMovie(trackEncryption, {}), "uuid", {
             {"usertype            : 89 74 DB CE 7B E7 4C 51 84 F9 71 48 F9 88 25 54 8974DBCE-7BE7-4C51-84F9-7148F9882554 (PIFF track encryption)", R(335, 16)},
             {"version             : 0 (0000)", R(351, 1)},
             {"flags               : 0 (00000000)", R(352, 3)},
             {"default_AlgorithmID : 1 (0X000001) (AES-CTR 128)", R(355, 3)},
             {"default_IV_size     : 8 (0X08)", R(358, 1)},
             {"default_KID         : 50515253-5455-5657-5859-5a5b5c5d5e5f", R(359, 16)},
         }},
        {"PIFF sample encryption taking the IV size of the PIFF track encryption",
         EncryptedMovie(trackEncryption, {}, Fragment(Uuid(piffSenc, 0, 0, Cat({U32(2), U64(7), U64(8)})))), "uuid", {
             {"usertype           : A2 39 4F 52 5A 9B 4F 14 A2 44 6C 42 7C 64 8D F4 A2394F52-5A9B-4F14-A244-6C427C648DF4 (PIFF sample encryption)", R(507, 16)},
             {"version            : 0 (0000)", R(523, 1)},
             {"flags              : 0 (00000000)", R(524, 3)},
             {"sample_count       : 2 (0X00000002)", R(527, 4)},
             {"Per_Sample_IV_Size : 8 (PIFF track encryption default, of the uuid at offset 327)", R(358, 1)},
             {"   sample #1   : track sample #1, IV 0x0000000000000007", R(531, 8)},
             {"   sample #2   : track sample #2, IV 0x0000000000000008", R(539, 8)},
         }},
        {"PIFF sample encryption with its own parameters",
         Top(Uuid(piffSenc, 0, 3, Cat({U24(1), U8(16), Kid(0x60), U32(1), Kid(0x70), U16(1), U16(16), U32(64)}))), "uuid", {
             {"usertype           : A2 39 4F 52 5A 9B 4F 14 A2 44 6C 42 7C 64 8D F4 A2394F52-5A9B-4F14-A244-6C427C648DF4 (PIFF sample encryption)", R(20, 16)},
             {"version            : 0 (0000)", R(36, 1)},
             {"flags              : 3 (0X000003) override-track-encryption-box-parameters, use-subsample-encryption", R(37, 3)},
             {"AlgorithmID        : 1 (0X000001) (AES-CTR 128)", R(40, 3)},
             {"IV_size            : 16 (0X10)", R(43, 1)},
             {"KID                : 60616263-6465-6667-6869-6a6b6c6d6e6f", R(44, 16)},
             {"sample_count       : 1 (0X00000001)", R(60, 4)},
             {"Per_Sample_IV_Size : 16 (this box)", R(43, 1)},
             {"   sample #1   : track sample #1, IV 0x707172737475767778797A7B7C7D7E7F, subsample_count 1", R(64, 18)},
             {"      subsample #1   : BytesOfClearData 16 (0X0010), BytesOfProtectedData 64 (0X00000040)", R(82, 6)},
         }},
        {"PIFF pssh", Top(Uuid(piffPssh, 0, 0, Cat({Kid(0x80), U32(2), U16(0xABCD)}))), "uuid", {
             {"usertype : D0 8A 4F 18 10 F3 4A 82 B6 C8 32 D8 AB A1 83 0D D08A4F18-10F3-4A82-B6C8-32D8ABA1830D (PIFF protection system specific header)", R(20, 16)},
             {"version  : 0 (0000)", R(36, 1)},
             {"flags    : 0 (00000000)", R(37, 3)},
             {"SystemID : 80818283-8485-8687-8889-8a8b8c8d8e8f", R(40, 16)},
             {"DataSize : 2 (0X00000002)", R(56, 4)},
             {"Data     : AB CD", R(60, 2)},
         }},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The first uuid in tree order is the one under test; the others come later.
        const int nth = std::string(c.name).find("taking") != std::string::npos ? 1 : 0;
        EXPECT_EQ(Shown(DescribeInFullView(c.file, c.type, nth)), Shown(c.lines));
    }
}

}  // namespace
}  // namespace kestrova::test
