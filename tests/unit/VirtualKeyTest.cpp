#include "platform/VirtualKey.h"

#include <gtest/gtest.h>

using VirtualKey::FromKey;

TEST(VirtualKey, DigitsLettersAndTheKeypad) {
    for (int d = 0; d <= 9; ++d) {
        EXPECT_EQ(FromKey(Qt::Key_0 + d, Qt::NoModifier), 0x30u + d);
        EXPECT_EQ(FromKey(Qt::Key_0 + d, Qt::KeypadModifier), 0x60u + d);
    }
    EXPECT_EQ(FromKey(Qt::Key_V, Qt::ControlModifier), 0x56u);
    const int operators[] = {Qt::Key_Asterisk, Qt::Key_Plus,   Qt::Key_Comma,
                             Qt::Key_Minus,    Qt::Key_Period, Qt::Key_Slash};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(FromKey(operators[i], Qt::KeypadModifier), 0x6Au + i);
    EXPECT_EQ(FromKey(Qt::Key_Enter, Qt::KeypadModifier), 0x0Du); // no keypad code of its own
    EXPECT_EQ(FromKey(Qt::Key_Minus, Qt::NoModifier), 0xBDu);     // off the keypad
}

TEST(VirtualKey, SymbolsAreTheKeysThatTypeThem) {
    EXPECT_EQ(FromKey(Qt::Key_Exclam, Qt::ShiftModifier), 0x31u);
    EXPECT_EQ(FromKey(Qt::Key_ParenRight, Qt::ShiftModifier), 0x30u);
    EXPECT_EQ(FromKey(Qt::Key_Asterisk, Qt::ShiftModifier), 0x38u);
    EXPECT_EQ(FromKey(Qt::Key_Underscore, Qt::ShiftModifier), 0xBDu);
    EXPECT_EQ(FromKey(Qt::Key_QuoteDbl, Qt::ShiftModifier), 0xDEu);
}

TEST(VirtualKey, EditingAndFunctionKeysAndKeysWithoutACode) {
    EXPECT_EQ(FromKey(Qt::Key_Escape, Qt::NoModifier), 0x1Bu);
    EXPECT_EQ(FromKey(Qt::Key_Backspace, Qt::NoModifier), 0x08u);
    EXPECT_EQ(FromKey(Qt::Key_Space, Qt::NoModifier), 0x20u);
    EXPECT_EQ(FromKey(Qt::Key_Delete, Qt::NoModifier), 0x2Eu);
    EXPECT_EQ(FromKey(Qt::Key_Down, Qt::NoModifier), 0x28u);
    EXPECT_EQ(FromKey(Qt::Key_F24, Qt::NoModifier), 0x87u);
    EXPECT_EQ(FromKey(Qt::Key_Meta, Qt::NoModifier), 0x5Bu);
    EXPECT_EQ(FromKey(Qt::Key_Eacute, Qt::NoModifier), 0u);
}
