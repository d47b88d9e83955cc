#include "cards/NumberSequence.h"

#include <gtest/gtest.h>

TEST(RandomGenerator, SeededDrawsAndRandom64FollowTheCongruentialRule) {
    // The well-known first draws of this generator after seeding with 1.
    CRandomGenerator generator;
    generator.Seed(1);
    for (int expected : {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358})
        EXPECT_EQ(generator.Draw(), expected);

    CRandomGenerator drawn, combined;
    drawn.Seed(12345);
    combined.Seed(12345);
    quint64 r[5];
    for (quint64& draw : r)
        draw = quint64(drawn.Draw());
    const quint64 value = Random64(combined);
    EXPECT_EQ(combined.State(), drawn.State()); // five draws per value
    EXPECT_EQ(value & 0xFFFFFFFFull, r[4] + r[3] * 32768 + (r[2] % 4) * (1ull << 30));
    EXPECT_EQ(value >> 60, r[0] & 0xF); // of r1 only the low four bits survive modulo 2^64
}

TEST(NumberSequence, WrittenIdentifierAndTheRangesOfItsParts) {
    auto compose = [](const char* vendor, const char* card) {
        return ComposeIdentifier(QString::fromLatin1(vendor), QString::fromLatin1(card));
    };
    EXPECT_EQ(compose("1", "1").value, 4294967297u);
    EXPECT_EQ(compose("7", "").value, 30064771072u); // an empty field beside a filled one is 0
    EXPECT_EQ(compose("", " 7 ").value, 7u);
    EXPECT_EQ(compose("255", "4294967295").value, MAX_IDENTIFIER);
    EXPECT_TRUE(compose("018", "0878082202").IsValid());
    for (const char* vendor : {"256", "99999999999999999999"})
        EXPECT_EQ(compose(vendor, "1").error, NumberTextError::OutOfRange) << vendor;
    EXPECT_EQ(compose("1", "4294967296").error, NumberTextError::OutOfRange);
    // Pasted text that is no plain number is refused, never read as 0 or as its leading digits.
    for (const char* vendor : {"abc", "-1", "1.5e3", " 42xyz"})
        EXPECT_EQ(compose(vendor, "1").error, NumberTextError::NotANumber) << vendor;
    EXPECT_EQ(compose("1", "xyz").error, NumberTextError::NotANumber);
}

TEST(NumberSequence, NextNumberInEachMode) {
    CRandomGenerator generator;
    EXPECT_EQ(NextCardNumber(MODE_INCREASE, QStringLiteral("1"), generator), QStringLiteral("0000000002"));
    EXPECT_EQ(NextCardNumber(MODE_INCREASE, QStringLiteral("4294967295"), generator),
              QStringLiteral("0000000001"));
    EXPECT_EQ(NextCardNumber(MODE_INCREASE, QString(), generator), QStringLiteral("0000000001"));

    generator.Seed(99);
    for (int mode : {int(MODE_NOCHANGE), 3, -1})
        EXPECT_EQ(NextCardNumber(mode, QStringLiteral("42"), generator), QStringLiteral("42"));
    EXPECT_EQ(generator.State(), 99u); // nothing drawn

    CRandomGenerator reference;
    reference.Seed(99);
    const quint64 expected = ((Random64(reference) & 0xFFFFFFFFull) + 1) & 0xFFFFFFFFull;
    EXPECT_EQ(NextCardNumber(MODE_RANDOM, QStringLiteral("5"), generator),
              QStringLiteral("%1").arg(expected, 10, 10, QLatin1Char('0')));
}
