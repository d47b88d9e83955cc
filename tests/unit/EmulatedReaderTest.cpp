#include "emulator/EmulatedReader.h"
#include "cards/CardFrame.h"

#include <gtest/gtest.h>

#include <cerrno>

// The emulated reader is the judge of every frame in the device tests, so it must refuse any frame
// whose checks fail.
TEST(EmulatedReader, RefusesAFrameWithAnySingleBitWrong) {
    const CardFrame good = EncodeCardFrame(SplitNibbles(78187493530));
    ASSERT_EQ(CEmulatedReader::DecodeCardFrame(good.data()), 78187493530u);
    for (int bit = 0; bit < 64; ++bit) {
        CardFrame bad = good;
        bad[bit / 8] ^= static_cast<std::uint8_t>(0x80 >> (bit % 8));
        EXPECT_EQ(CEmulatedReader::DecodeCardFrame(bad.data()), std::nullopt) << "bit " << bit;
    }
}

TEST(EmulatedReader, ProgramsOnlyAWritableCardWithAGoodFrame) {
    CEmulatedReader reader;
    CardFrame frame = EncodeCardFrame(SplitNibbles(42));
    EXPECT_EQ(reader.HandleControl(0x40, 1, 0, 0, frame.data(), 8), -EPIPE); // no card
    reader.PutCard(1, CEmulatedReader::CARD_READ_ONLY);
    EXPECT_EQ(reader.HandleControl(0x40, 1, 0, 0, frame.data(), 8), -EPIPE);
    reader.PutCard(1);
    frame[3] ^= 0x10;
    EXPECT_EQ(reader.HandleControl(0x40, 1, 0, 0, frame.data(), 8), -EPIPE);
    frame[3] ^= 0x10;
    EXPECT_EQ(reader.HandleControl(0x40, 1, 0, 0, frame.data(), 8), 8);
    EXPECT_EQ(reader.CardId(), 42u);
    EXPECT_EQ(reader.ProgrammedCount(), 1);
    EXPECT_EQ(reader.Transfers().size(), 4u);
}

TEST(EmulatedReader, CountedFaultsWearOffAndTimeoutsReportTheirDelay) {
    CEmulatedReader reader;
    reader.PutCard(5);
    reader.SetTimeoutDelayMs(30);
    reader.SetFault(0, CEmulatedReader::Fault::Timeout, 1);
    std::uint8_t bytes[5];
    int delayMs = 0;
    EXPECT_EQ(reader.HandleControl(0xC0, 0, 0, 0, bytes, 5, &delayMs), -ETIMEDOUT);
    EXPECT_EQ(delayMs, 30);
    EXPECT_EQ(reader.HandleControl(0xC0, 0, 0, 0, bytes, 5), 5);
    EXPECT_EQ(bytes[4], 5);
    EXPECT_EQ(reader.CountTransfers(0), 2);

    // A chooser decides where no rule does; a rule still comes first.
    reader.SetFaultChooser([](int request) {
        return request == 0 ? CEmulatedReader::Fault::Stall : CEmulatedReader::Fault::None;
    });
    EXPECT_EQ(reader.HandleControl(0xC0, 0, 0, 0, bytes, 5), -EPIPE);
    reader.SetFault(0, CEmulatedReader::Fault::None, 1);
    EXPECT_EQ(reader.HandleControl(0xC0, 0, 0, 0, bytes, 5), 5);
    EXPECT_EQ(reader.HandleControl(0xC0, 0, 0, 0, bytes, 5), -EPIPE);
    reader.SetFaultChooser(nullptr);
    EXPECT_EQ(reader.HandleControl(0xC0, 0, 0, 0, bytes, 5), 5);
}
