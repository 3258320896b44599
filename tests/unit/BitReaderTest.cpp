// The bit reader and the AudioSpecificConfig it decodes.

#include <gtest/gtest.h>

#include <vector>

#include "common/BitReader.h"
#include "iso/BoxParsers.h"

namespace kestrova {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BitReader, ReadsMostSignificantBitFirstAcrossWords) {
    const Bytes bytes = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22, 0x33, 0x44};
    BitReader bits(bytes);
    EXPECT_EQ(bits.Read(4), 0x1u);
    EXPECT_EQ(bits.Read(8), 0x23u);
    EXPECT_EQ(bits.Read(20), 0x45678u);
    EXPECT_EQ(bits.Read(8), 0x9Au);
    EXPECT_EQ(bits.Consumed(), 40u);
    EXPECT_EQ(bits.Read(24), 0xBCDEF0u);  // straddles a four-byte boundary
    EXPECT_EQ(bits.Read(32), 0x11223344u);

    const Bytes counting = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    BitReader eights(counting);
    for (std::uint32_t i = 1; i <= 5; ++i) EXPECT_EQ(eights.Read(8), i);
    EXPECT_EQ(BitReader(counting).Read(32), 0x01020304u);
}

TEST(BitReader, GivesZeroBitsPastItsBlock) {
    // The block is two bytes of a longer buffer: nothing after them is read.
    const Bytes buffer = {0xFF, 0x81, 0xFF, 0xFF};
    BitReader bits(std::span<const std::uint8_t>(buffer).first(2));
    EXPECT_EQ(bits.Read(12), 0xFF8u);
    EXPECT_EQ(bits.Read(12), 0x100u);
    EXPECT_EQ(bits.Read(32), 0u);
    EXPECT_EQ(bits.Remaining(), 0u);
    EXPECT_EQ(BitReader(std::span<const std::uint8_t>()).Read(7), 0u);
}

struct AscCase {
    const char* name;
    Bytes config;
    std::uint32_t objectType, sampleRate, channels;
    std::int32_t sbr;
};

TEST(AudioSpecificConfig, DecodesRatesChannelsAndSbr) {
    const std::vector<AscCase> cases = {
        {"AAC-LC 44.1 kHz stereo", {0x12, 0x10}, 2, 44100, 2, 0},
        {"explicit SBR: object type 5 then the core", {0x2B, 0x89, 0x88, 0x00}, 2, 22050, 1, 1},
        {"backward-compatible SBR extension", {0x13, 0x10, 0x56, 0xE5, 0x98}, 2, 24000, 2, 1},
        {"extension with the SBR flag clear", {0x13, 0x10, 0x56, 0xE5, 0x00}, 2, 24000, 2, 0},
        {"explicit 24-bit frequency", {0x17, 0x80, 0x5D, 0xC0, 0x10}, 2, 48000, 2, 0},
        // Parametric stereo: a mono core that plays as stereo.
        {"object type 29", {0xEB, 0x89, 0x88, 0x00}, 2, 22050, 2, 1},
        // The escape: 31 then 6 bits (42: USAC), so the later fields stay in place.
        {"escaped object type", {0xF9, 0x48, 0x20}, 42, 44100, 1, 0},
        {"index 12 has no rate", {0x16, 0x08}, 2, 0, 1, 0},
    };
    for (const AscCase& c : cases) {
        const AudioConfig config = DecodeAudioSpecificConfig(c.config);
        EXPECT_EQ(config.objectType, c.objectType) << c.name;
        EXPECT_EQ(config.sampleRate, c.sampleRate) << c.name;
        EXPECT_EQ(config.channelCount, c.channels) << c.name;
        EXPECT_EQ(config.sbr, c.sbr) << c.name;
    }
}

TEST(AudioSpecificConfig, SkipsAProgramConfigElementBitExactly) {
    // Channel configuration 0: the program_config_element (one front element),
    // byte alignment, a two-byte comment, then the SBR sync extension, which is
    // found only if every field before it was skipped exactly.
    std::vector<int> bits;
    const auto put = [&](std::uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) bits.push_back((v >> i) & 1);
    };
    put(2, 5); put(4, 4); put(0, 4);        // AAC-LC, 44.1 kHz, channel configuration 0
    put(0, 1); put(0, 1); put(0, 1);        // frame length, core coder, extension
    put(0, 4); put(1, 2); put(4, 4);        // element tag, object type, frequency index
    put(1, 4); put(0, 4); put(0, 4); put(0, 2); put(0, 3); put(0, 4);
    put(0, 1); put(0, 1); put(0, 1);        // no mixdowns
    put(1, 5);                              // the front element
    while (bits.size() % 8) bits.push_back(0);
    put(2, 8); put('h', 8); put('i', 8);    // comment
    put(0x2B7, 11); put(5, 5); put(1, 1); put(6, 4);
    while (bits.size() % 8) bits.push_back(0);
    Bytes bytes(bits.size() / 8, 0);
    for (std::size_t i = 0; i < bits.size(); ++i) bytes[i / 8] |= static_cast<std::uint8_t>(bits[i] << (7 - i % 8));
    const AudioConfig config = DecodeAudioSpecificConfig(bytes);
    EXPECT_EQ(config.channelConfiguration, 0u);
    EXPECT_EQ(config.sampleRate, 44100u);
    EXPECT_EQ(config.sbr, 1);
}

}  // namespace
}  // namespace kestrova
