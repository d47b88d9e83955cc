#include "pages/KeyFilter.h"
#include "pages/NumberSequence.h"

#include <gtest/gtest.h>

using KeyFilter::IsRefusedKey;
using KeyFilter::IsSwallowed;
using KeyFilter::ProspectiveValue;

namespace {

// A digit typed with the caret (no selection) at position `caret`.
bool DigitSwallowedAt(char digit, const QString& text, int caret, quint64 limit) {
    return IsSwallowed(unsigned(digit), false, text, caret, caret, limit);
}

} // namespace

TEST(KeyFilter, DigitAtTheLimitOfAnIdentifierIsAcceptedAndOneBeyondIsSwallowed) {
    const QString text = QStringLiteral("109951162777");
    EXPECT_FALSE(DigitSwallowedAt('5', text, 12, MAX_IDENTIFIER));
    EXPECT_TRUE(DigitSwallowedAt('6', text, 12, MAX_IDENTIFIER));
}

TEST(KeyFilter, DigitInFrontOfTheLargestValueIsSwallowedUnlessItIsZero) {
    struct Field {
        QString text;
        quint64 limit;
    };
    for (const Field& field : {Field{QStringLiteral("1099511627775"), MAX_IDENTIFIER},
                               Field{QStringLiteral("4294967295"), MAX_CARD_NUMBER},
                               Field{QStringLiteral("255"), MAX_VENDOR_ID}}) {
        EXPECT_FALSE(DigitSwallowedAt('0', field.text, 0, field.limit)) << field.text.toStdString();
        for (char digit = '1'; digit <= '9'; ++digit)
            EXPECT_TRUE(DigitSwallowedAt(digit, field.text, 0, field.limit))
                << field.text.toStdString() << digit;
    }
}

TEST(KeyFilter, VendorIdFieldAcceptsUpTo255) {
    EXPECT_FALSE(DigitSwallowedAt('5', QStringLiteral("25"), 2, MAX_VENDOR_ID));
    EXPECT_TRUE(DigitSwallowedAt('6', QStringLiteral("25"), 2, MAX_VENDOR_ID));
    EXPECT_FALSE(DigitSwallowedAt('0', QStringLiteral("25"), 2, MAX_VENDOR_ID));
    EXPECT_TRUE(DigitSwallowedAt('0', QStringLiteral("250"), 3, MAX_VENDOR_ID));
}

TEST(KeyFilter, ReplacingASelectionIsJudgedByTheResultingText) {
    const QString full = QStringLiteral("1099511627775");
    // Select all, type 9: the field would hold 9.
    EXPECT_FALSE(IsSwallowed('9', false, full, 0, 13, MAX_IDENTIFIER));
    // A selection made backwards counts the same.
    EXPECT_FALSE(IsSwallowed('9', false, full, 13, 0, MAX_IDENTIFIER));
    // Replace the last digit 5 by 6: 1099511627776 is one too many; by 4 it fits.
    EXPECT_TRUE(IsSwallowed('6', false, full, 12, 13, MAX_IDENTIFIER));
    EXPECT_FALSE(IsSwallowed('4', false, full, 12, 13, MAX_IDENTIFIER));
    EXPECT_EQ(ProspectiveValue(QStringLiteral("123456"), 2, 4, 9), 12956);
}

TEST(KeyFilter, KeypadDigitsAreJudgedLikeTopRowDigits) {
    EXPECT_FALSE(
        IsSwallowed(0x65, false, QStringLiteral("109951162777"), 12, 12, MAX_IDENTIFIER));         // keypad 5
    EXPECT_TRUE(IsSwallowed(0x66, false, QStringLiteral("109951162777"), 12, 12, MAX_IDENTIFIER)); // keypad 6
    EXPECT_FALSE(IsSwallowed(0x60, false, QStringLiteral("255"), 0, 0, MAX_VENDOR_ID));            // keypad 0
}

TEST(KeyFilter, ValueTooLargeFor64BitsCountsAsExceeding) {
    // 19 nines then one more digit overflows a signed 64-bit value.
    const QString nines = QString(19, u'9');
    EXPECT_FALSE(ProspectiveValue(nines, 19, 19, 9).has_value());
    EXPECT_TRUE(IsSwallowed('9', false, nines, 19, 19, MAX_IDENTIFIER));
    // A digit in front of a long run of zeros: 10^n does not fit, but only the digit 0 keeps
    // the value (0) representable; the filter must not mistake that for an overflow.
    const QString zeros = QString(25, u'0');
    EXPECT_EQ(ProspectiveValue(zeros, 0, 0, 0), 0);
    EXPECT_FALSE(IsSwallowed('0', false, zeros, 0, 0, MAX_IDENTIFIER));
    EXPECT_TRUE(IsSwallowed('1', false, zeros, 0, 0, MAX_IDENTIFIER));
}

TEST(KeyFilter, PastedTextIsReadUpToItsFirstNonDigit) {
    // "12ab" with the caret at the end: left reads 12, so typing 3 gives 12 * 10 + 3.
    EXPECT_EQ(ProspectiveValue(QStringLiteral("12ab"), 4, 4, 3), 123);
    // Caret after "1" in "1x9": left 1, right "x9" reads 0 and has two characters.
    EXPECT_EQ(ProspectiveValue(QStringLiteral("1x9"), 1, 1, 5), 1500);
    // A pasted negative number does not exceed any limit.
    EXPECT_FALSE(IsSwallowed('5', false, QStringLiteral("-5"), 2, 2, MAX_VENDOR_ID));
}

TEST(KeyFilter, LettersSpaceAndPunctuationNeverReachTheField) {
    for (unsigned vk = 'A'; vk <= 'Z'; ++vk)
        EXPECT_TRUE(IsRefusedKey(vk, false)) << vk;
    for (unsigned vk :
         {0x00u, 0x20u, 0x6Au, 0x6Bu, 0x6Cu, 0x6Du, 0x6Eu, 0x6Fu, 0xBAu, 0xBDu, 0xBEu, 0xE4u, 0xFFu, 0x100u})
        EXPECT_TRUE(IsRefusedKey(vk, false)) << vk;
    // A refused key is swallowed whatever the text.
    EXPECT_TRUE(IsSwallowed(0xBD, false, QString(), 0, 0, MAX_IDENTIFIER)); // minus
    EXPECT_TRUE(IsSwallowed(0x20, false, QStringLiteral("1"), 1, 1, MAX_IDENTIFIER));
}

TEST(KeyFilter, EditingNavigationAndFunctionKeysGoOn) {
    // Backspace, Tab, Enter, Shift, Ctrl, End, Home, arrows, Insert, Delete, the 0x40 edge,
    // Windows keys, F1..F24, Num Lock, browser keys, IME process key, the top of the OEM range.
    for (unsigned vk : {0x01u, 0x08u, 0x09u, 0x0Du, 0x10u, 0x11u, 0x23u, 0x24u, 0x25u, 0x28u, 0x2Du,
                        0x2Eu, 0x40u, 0x5Bu, 0x5Fu, 0x70u, 0x87u, 0x90u, 0xA6u, 0xB9u, 0xE5u, 0xFEu})
        EXPECT_FALSE(IsSwallowed(vk, false, QStringLiteral("4294967295"), 0, 0, MAX_CARD_NUMBER)) << vk;
}

TEST(KeyFilter, CopyPasteCutAndUndoPassOnlyWithCtrl) {
    for (unsigned vk : {unsigned('C'), unsigned('V'), unsigned('X'), unsigned('Z')}) {
        EXPECT_FALSE(IsRefusedKey(vk, true)) << vk;
        EXPECT_TRUE(IsRefusedKey(vk, false)) << vk;
    }
    EXPECT_TRUE(IsRefusedKey('A', true));
    EXPECT_TRUE(IsRefusedKey(0xBD, true));
}

TEST(KeyFilter, ShortcutChecksWithAltAloneAreLeftToTheMenus) {
    EXPECT_TRUE(KeyFilter::IsExaminedKeyEvent(QEvent::KeyPress, Qt::AltModifier));
    EXPECT_TRUE(KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::NoModifier));
    EXPECT_TRUE(KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::ControlModifier));
    EXPECT_TRUE(
        KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::ControlModifier | Qt::AltModifier));
    EXPECT_FALSE(KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::AltModifier));
    EXPECT_FALSE(
        KeyFilter::IsExaminedKeyEvent(QEvent::ShortcutOverride, Qt::AltModifier | Qt::ShiftModifier));
    EXPECT_FALSE(KeyFilter::IsExaminedKeyEvent(QEvent::KeyRelease, Qt::NoModifier));
}
