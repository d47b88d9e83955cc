#include "platform/VirtualKey.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

using VirtualKey::FromKey;

TEST(VirtualKey, DigitsAndLettersKeepTheirCodes) {
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(FromKey(Qt::Key_0 + d, Qt::NoModifier), 0x30u + d);
    for (int c = 0; c < 26; ++c) {
        EXPECT_EQ(FromKey(Qt::Key_A + c, Qt::NoModifier), 0x41u + c);
        EXPECT_EQ(FromKey(Qt::Key_A + c, Qt::ControlModifier), 0x41u + c);
    }
}

TEST(VirtualKey, KeypadIsKnownOnlyFromTheKeypadModifier) {
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(FromKey(Qt::Key_0 + d, Qt::KeypadModifier), 0x60u + d);
    EXPECT_EQ(FromKey(Qt::Key_Asterisk, Qt::KeypadModifier), 0x6Au);
    EXPECT_EQ(FromKey(Qt::Key_Plus, Qt::KeypadModifier), 0x6Bu);
    EXPECT_EQ(FromKey(Qt::Key_Comma, Qt::KeypadModifier), 0x6Cu);
    EXPECT_EQ(FromKey(Qt::Key_Minus, Qt::KeypadModifier), 0x6Du);
    EXPECT_EQ(FromKey(Qt::Key_Period, Qt::KeypadModifier), 0x6Eu);
    EXPECT_EQ(FromKey(Qt::Key_Slash, Qt::KeypadModifier), 0x6Fu);
    // Keys of the keypad without codes of their own there keep their usual ones.
    EXPECT_EQ(FromKey(Qt::Key_Enter, Qt::KeypadModifier), 0x0Du);
    EXPECT_EQ(FromKey(Qt::Key_Home, Qt::KeypadModifier), 0x24u);
    // The same keys off the keypad.
    EXPECT_EQ(FromKey(Qt::Key_Minus, Qt::NoModifier), 0xBDu);
    EXPECT_EQ(FromKey(Qt::Key_Period, Qt::NoModifier), 0xBEu);
    EXPECT_EQ(FromKey(Qt::Key_Slash, Qt::NoModifier), 0xBFu);
}

TEST(VirtualKey, SymbolsMapToTheKeyThatTypesThem) {
    // Shifted digits are the digit keys.
    const int shiftedDigits[] = {
        Qt::Key_ParenRight, Qt::Key_Exclam,      Qt::Key_At,        Qt::Key_NumberSign, Qt::Key_Dollar,
        Qt::Key_Percent,    Qt::Key_AsciiCircum, Qt::Key_Ampersand, Qt::Key_Asterisk,   Qt::Key_ParenLeft};
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(FromKey(shiftedDigits[d], Qt::ShiftModifier), 0x30u + d);
    EXPECT_EQ(FromKey(Qt::Key_Underscore, Qt::ShiftModifier), 0xBDu);
    EXPECT_EQ(FromKey(Qt::Key_Semicolon, Qt::NoModifier), 0xBAu);
    EXPECT_EQ(FromKey(Qt::Key_Plus, Qt::ShiftModifier), 0xBBu);
    EXPECT_EQ(FromKey(Qt::Key_Apostrophe, Qt::NoModifier), 0xDEu);
}

TEST(VirtualKey, EditingNavigationAndFunctionKeys) {
    EXPECT_EQ(FromKey(Qt::Key_Escape, Qt::NoModifier), 0x1Bu);
    EXPECT_EQ(FromKey(Qt::Key_Return, Qt::NoModifier), 0x0Du);
    EXPECT_EQ(FromKey(Qt::Key_Backspace, Qt::NoModifier), 0x08u);
    EXPECT_EQ(FromKey(Qt::Key_Space, Qt::NoModifier), 0x20u);
    EXPECT_EQ(FromKey(Qt::Key_Delete, Qt::NoModifier), 0x2Eu);
    EXPECT_EQ(FromKey(Qt::Key_Left, Qt::NoModifier), 0x25u);
    EXPECT_EQ(FromKey(Qt::Key_Down, Qt::NoModifier), 0x28u);
    EXPECT_EQ(FromKey(Qt::Key_Control, Qt::ControlModifier), 0x11u);
    EXPECT_EQ(FromKey(Qt::Key_F1, Qt::NoModifier), 0x70u);
    EXPECT_EQ(FromKey(Qt::Key_F24, Qt::NoModifier), 0x87u);
    EXPECT_EQ(FromKey(Qt::Key_Meta, Qt::NoModifier), 0x5Bu);
    EXPECT_EQ(FromKey(Qt::Key_VolumeUp, Qt::NoModifier), 0xAFu);
}

TEST(VirtualKey, KeysWithoutAWindowsCodeGiveZero) {
    EXPECT_EQ(FromKey(Qt::Key_unknown, Qt::NoModifier), 0u);
    EXPECT_EQ(FromKey(Qt::Key_Eacute, Qt::NoModifier), 0u);
    EXPECT_EQ(FromKey(0, Qt::NoModifier), 0u);
}

TEST(VirtualKey, EventCarriesKeyAndModifiers) {
    const QKeyEvent keypadFive(QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier, QStringLiteral("5"));
    EXPECT_EQ(VirtualKey::FromEvent(&keypadFive), 0x65u);
    const QKeyEvent ctrlV(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(VirtualKey::FromEvent(&ctrlV), 0x56u);
    EXPECT_EQ(VirtualKey::FromEvent(nullptr), 0u);
}
