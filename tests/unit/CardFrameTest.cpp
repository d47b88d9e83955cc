#include "cards/CardFrame.h"
#include "emulator/EmulatedReader.h"

#include <gtest/gtest.h>

#include <random>

namespace {

CardFrame FrameOf(std::uint64_t cardId) {
    return EncodeCardFrame(SplitNibbles(cardId));
}

const CardFrame kWorkedExampleFrame = {0xFF, 0x8C, 0xA6, 0x4A, 0x98, 0xF8, 0xCA, 0x96};

} // namespace

TEST(CardFrame, KnownIdentifiersGiveTheirFrames) {
    EXPECT_EQ(FrameOf(78187493530), kWorkedExampleFrame);
    EXPECT_EQ(FrameOf(0), (CardFrame{0xFF, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(FrameOf(1099511627775), (CardFrame{0xFF, 0xFB, 0xDE, 0xF7, 0xBD, 0xEF, 0x7B, 0xC0}));
}

TEST(CardFrame, NibblesAreLeastSignificantFirstAndOnlyFortyBitsCount) {
    EXPECT_EQ(SplitNibbles(0x123456789A), (CardNibbles{0xA, 0x9, 0x8, 0x7, 0x6, 0x5, 0x4, 0x3, 0x2, 0x1}));
    EXPECT_EQ(SplitNibbles((std::uint64_t{1} << 40) | 0x5), SplitNibbles(0x5));
    EXPECT_EQ(SplitNibbles(static_cast<std::uint64_t>(-1)), SplitNibbles(MAX_IDENTIFIER));
}

// The reader checks header, row and column parity and stop bit; every frame the encoder builds must
// pass those checks and carry the identifier it was built from.
TEST(CardFrame, EveryEncodedFrameDecodesToItsIdentifier) {
    std::mt19937_64 random(40);
    for (int i = 0; i < 5000; ++i) {
        const std::uint64_t cardId = random() & MAX_IDENTIFIER;
        const CardFrame frame = FrameOf(cardId);
        ASSERT_EQ(CEmulatedReader::DecodeCardFrame(frame.data()), cardId) << std::hex << cardId;
    }
    for (int bit = 0; bit < CARD_ID_BITS; ++bit) {
        const std::uint64_t cardId = std::uint64_t{1} << bit;
        ASSERT_EQ(CEmulatedReader::DecodeCardFrame(FrameOf(cardId).data()), cardId) << bit;
    }
}

TEST(CardFrame, IdentifierBytesAreReadVendorFirstWithOrWithoutTheVendor) {
    const std::uint8_t bytes[CARD_ID_BYTES] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    EXPECT_EQ(CardIdFromBytes(bytes, 0), 78187493530u);
    EXPECT_EQ(CardIdFromBytes(bytes, 1), 878082202u);
    const std::uint8_t allOnes[CARD_ID_BYTES] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(CardIdFromBytes(allOnes, 0), MAX_IDENTIFIER);
}
