#include "pages/NumberSequence.h"

#include <gtest/gtest.h>

TEST(RandomGenerator, SeededSequenceFollowsTheCongruentialRule) {
    // The well-known first draws of this generator after seeding with 1.
    CRandomGenerator generator;
    generator.Seed(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected)
        EXPECT_EQ(generator.Draw(), value);
    // Draws stay within 15 bits for any state.
    generator.Seed(0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        const int draw = generator.Draw();
        ASSERT_GE(draw, 0);
        ASSERT_LE(draw, 32767);
    }
}

TEST(RandomGenerator, Random64TakesFiveDrawsAndItsLow32BitsComeFromTheLastThree) {
    CRandomGenerator drawn;
    drawn.Seed(12345);
    quint64 r[5];
    for (quint64& draw : r)
        draw = quint64(drawn.Draw());

    CRandomGenerator generator;
    generator.Seed(12345);
    const quint64 value = Random64(generator);
    EXPECT_EQ(generator.State(), drawn.State());
    EXPECT_EQ(value & 0xFFFFFFFFull, r[4] + r[3] * 32768 + (r[2] % 4) * (1ull << 30));
    EXPECT_EQ(value >> 60, r[0] & 0xF); // of r1 only the low four bits survive modulo 2^64
}

TEST(NumberSequence, WrittenTextJoinsVendorIdAndCardNumber) {
    EXPECT_EQ(ComposeWrittenText(QStringLiteral("1"), QStringLiteral("1")), QStringLiteral("0004294967297"));
    EXPECT_EQ(ComposeWrittenText(QStringLiteral("7"), QString()), QStringLiteral("0030064771072"));
    EXPECT_EQ(ComposeWrittenText(QStringLiteral("18"), QStringLiteral("878082202")),
              QStringLiteral("0078187493530"));
    EXPECT_EQ(ComposeWrittenText(QStringLiteral("255"), QStringLiteral("4294967295")),
              QStringLiteral("1099511627775"));
    EXPECT_EQ(ComposeWrittenText(QString(), QString()), QStringLiteral("0000000000000"));
}

TEST(NumberSequence, OnlyFieldsWithinTheirRangesFitAnIdentifier) {
    EXPECT_TRUE(FieldsFitIdentifier(QString(), QString()));
    EXPECT_TRUE(FieldsFitIdentifier(QStringLiteral("255"), QStringLiteral("4294967295")));
    EXPECT_TRUE(FieldsFitIdentifier(QStringLiteral("12ab"), QStringLiteral(" 7")));
    EXPECT_FALSE(FieldsFitIdentifier(QStringLiteral("256"), QStringLiteral("1")));
    EXPECT_FALSE(FieldsFitIdentifier(QStringLiteral("1"), QStringLiteral("4294967296")));
    EXPECT_FALSE(FieldsFitIdentifier(QStringLiteral("-1"), QStringLiteral("1")));
    EXPECT_FALSE(FieldsFitIdentifier(QStringLiteral("1"), QStringLiteral("-1")));
    EXPECT_FALSE(FieldsFitIdentifier(QStringLiteral("1"), QStringLiteral("99999999999999999999999")));
}

TEST(NumberSequence, OnlyTextsFrom0To2Pow40Minus1HoldAnIdentifier) {
    EXPECT_TRUE(IdentifierTextFits(QStringLiteral("0")));
    EXPECT_TRUE(IdentifierTextFits(QStringLiteral("abc"))); // reads as 0
    EXPECT_TRUE(IdentifierTextFits(QStringLiteral("1099511627775")));
    EXPECT_FALSE(IdentifierTextFits(QStringLiteral("1099511627776")));
    EXPECT_FALSE(IdentifierTextFits(QStringLiteral("-1")));
    EXPECT_FALSE(IdentifierTextFits(QStringLiteral("99999999999999999999999")));
}

TEST(NumberSequence, IncreaseAddsOneAndWrapsTo1) {
    CRandomGenerator generator;
    EXPECT_EQ(NextCardNumber(MODE_INCREASE, QStringLiteral("1"), generator), QStringLiteral("0000000002"));
    EXPECT_EQ(NextCardNumber(MODE_INCREASE, QStringLiteral("4294967294"), generator),
              QStringLiteral("4294967295"));
    EXPECT_EQ(NextCardNumber(MODE_INCREASE, QStringLiteral("4294967295"), generator),
              QStringLiteral("0000000001"));
    EXPECT_EQ(NextCardNumber(MODE_INCREASE, QString(), generator), QStringLiteral("0000000001"));
}

TEST(NumberSequence, NoChangeKeepsTheTextAsTypedAndDrawsNothing) {
    CRandomGenerator generator;
    generator.Seed(99);
    for (int mode : {int(MODE_NOCHANGE), 3, -1})
        EXPECT_EQ(NextCardNumber(mode, QStringLiteral("42"), generator), QStringLiteral("42"));
    EXPECT_EQ(generator.State(), 99u);
}

TEST(NumberSequence, RandomIsTheLow32BitsOfRandom64PlusOne) {
    CRandomGenerator reference;
    reference.Seed(1);
    CRandomGenerator generator;
    generator.Seed(1);
    for (int card = 0; card < 3; ++card) {
        const quint64 expected = ((Random64(reference) & 0xFFFFFFFFull) + 1) & 0xFFFFFFFFull;
        const QString next = NextCardNumber(MODE_RANDOM, QStringLiteral("5"), generator);
        EXPECT_EQ(next.size(), 10);
        EXPECT_EQ(next.toULongLong(), expected);
    }
    EXPECT_EQ(generator.State(), reference.State());
}
