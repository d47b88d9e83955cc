#include "pages/KeyFilter.h"
#include "cards/NumberSequence.h"

#include <gtest/gtest.h>

using KeyFilter::IsSwallowed;

namespace {
// A digit key typed with the caret at `caret` and no selection.
bool DigitSwallowed(char digit, const QString& text, int caret, quint64 limit) {
    return IsSwallowed(unsigned(digit), false, text, caret, caret, limit);
}
} // namespace

TEST(KeyFilter, DigitsAreJudgedByTheValueTheFieldWouldHold) {
    EXPECT_FALSE(DigitSwallowed('5', QStringLiteral("109951162777"), 12, MAX_IDENTIFIER));
    EXPECT_TRUE(DigitSwallowed('6', QStringLiteral("109951162777"), 12, MAX_IDENTIFIER));
    EXPECT_FALSE(DigitSwallowed('5', QStringLiteral("25"), 2, MAX_VENDOR_ID));
    EXPECT_TRUE(DigitSwallowed('6', QStringLiteral("25"), 2, MAX_VENDOR_ID));
    EXPECT_TRUE(IsSwallowed(0x66, false, QStringLiteral("25"), 2, 2, MAX_VENDOR_ID)); // keypad 6
    // In front of the largest value only 0 fits, as it leaves the value unchanged.
    for (const auto& [text, limit] : {std::pair{QStringLiteral("1099511627775"), MAX_IDENTIFIER},
                                      std::pair{QStringLiteral("4294967295"), MAX_CARD_NUMBER}}) {
        EXPECT_FALSE(DigitSwallowed('0', text, 0, limit));
        for (char digit = '1'; digit <= '9'; ++digit)
            EXPECT_TRUE(DigitSwallowed(digit, text, 0, limit)) << digit;
    }
}

TEST(KeyFilter, SelectionIsReplacedAndTheRestReadUpToItsFirstNonDigit) {
    const QString largest = QStringLiteral("1099511627775");
    EXPECT_FALSE(IsSwallowed('9', false, largest, 0, 13, MAX_IDENTIFIER));
    EXPECT_FALSE(IsSwallowed('9', false, largest, 13, 0, MAX_IDENTIFIER)); // selected backwards
    EXPECT_TRUE(IsSwallowed('6', false, largest, 12, 13, MAX_IDENTIFIER));
    EXPECT_EQ(KeyFilter::ProspectiveValue(QStringLiteral("123456"), 2, 4, 9), 12956);
    // Pasted text: "1x9" with the caret after 1 is 1 * 10^3 + 5 * 10^2 + value("x9") = 1500.
    EXPECT_EQ(KeyFilter::ProspectiveValue(QStringLiteral("1x9"), 1, 1, 5), 1500);
}

TEST(KeyFilter, ValueBeyond64BitsCountsAsExceedingButZeroTimesAnyPowerIsZero) {
    const QString nines(19, u'9');
    EXPECT_FALSE(KeyFilter::ProspectiveValue(nines, 19, 19, 9).has_value());
    EXPECT_TRUE(DigitSwallowed('9', nines, 19, MAX_IDENTIFIER));
    const QString zeros(25, u'0');
    EXPECT_FALSE(DigitSwallowed('0', zeros, 0, MAX_IDENTIFIER));
    EXPECT_TRUE(DigitSwallowed('1', zeros, 0, MAX_IDENTIFIER));
}

TEST(KeyFilter, OtherKeysGoOnOrAreRefusedByTheirCode) {
    // Editing, navigation, modifier, Windows, function, browser, IME and OEM keys go on.
    for (unsigned vk : {0x01u, 0x08u, 0x09u, 0x0Du, 0x10u, 0x11u, 0x25u, 0x2Eu, 0x40u, 0x5Bu, 0x5Fu, 0x70u,
                        0x87u, 0x90u, 0xB9u, 0xE5u, 0xFEu})
        EXPECT_FALSE(IsSwallowed(vk, false, QStringLiteral("4294967295"), 0, 0, MAX_CARD_NUMBER)) << vk;
    // No key code, letters, space, keypad operators, punctuation, 0xFF and above are refused.
    for (unsigned vk : {0x00u, 0x20u, 0x41u, 0x5Au, 0x6Au, 0x6Du, 0x6Fu, 0xBAu, 0xBDu, 0xE4u, 0xFFu, 0x100u})
        EXPECT_TRUE(IsSwallowed(vk, false, QString(), 0, 0, MAX_IDENTIFIER)) << vk;
    // Copy, paste, cut and undo go on with Ctrl only.
    for (unsigned vk : {unsigned('C'), unsigned('V'), unsigned('X'), unsigned('Z')}) {
        EXPECT_FALSE(KeyFilter::IsRefusedKey(vk, true)) << vk;
        EXPECT_TRUE(KeyFilter::IsRefusedKey(vk, false)) << vk;
    }
    EXPECT_TRUE(KeyFilter::IsRefusedKey('A', true));
}

TEST(KeyFilter, ShortcutChecksWithAltAloneAreLeftToTheMenus) {
    EXPECT_TRUE(KeyFilter::IsExaminedKeyEvent(QEvent::KeyPress, Qt::AltModifier));
    EXPECT_TRUE(KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::NoModifier));
    EXPECT_TRUE(
        KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::ControlModifier | Qt::AltModifier));
    EXPECT_FALSE(KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::AltModifier));
    EXPECT_FALSE(KeyFilter::IsExaminedKeyEvent(QEvent::KeyRelease, Qt::NoModifier));
}
