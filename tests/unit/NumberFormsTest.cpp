#include "cards/NumberForms.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    std::uint64_t cardId;
    const char* hex;
    const char* dez10;
    const char* dez8;
    const char* w26;
    const char* fiveFive;
};

// The two printed examples, both ends of the range and a value whose every group is at its top.
constexpr Row kRows[] = {
    {4328719365ull, "0102030405", "0033752069", "00197637", "003,01029", "00515,01029"},
    {78187493530ull, "123456789A", "0878082202", "05666970", "086,30874", "13398,30874"},
    {0ull, "0000000000", "0000000000", "00000000", "000,00000", "00000,00000"},
    {1099511627775ull, "FFFFFFFFFF", "4294967295", "16777215", "255,65535", "65535,65535"},
};

} // namespace

TEST(NumberForms, EachFormOfTheTableAndOfBothEndsOfTheRange) {
    for (const Row& row : kRows) {
        EXPECT_EQ(NumberFormText(FORM_HEX, row.cardId), QLatin1String(row.hex)) << row.cardId;
        EXPECT_EQ(NumberFormText(FORM_DEZ10, row.cardId), QLatin1String(row.dez10)) << row.cardId;
        EXPECT_EQ(NumberFormText(FORM_DEZ8, row.cardId), QLatin1String(row.dez8)) << row.cardId;
        EXPECT_EQ(NumberFormText(FORM_W26, row.cardId), QLatin1String(row.w26)) << row.cardId;
        EXPECT_EQ(NumberFormText(FORM_5_5, row.cardId), QLatin1String(row.fiveFive)) << row.cardId;
    }
    // Bits above the 40 of an identifier take no part.
    EXPECT_EQ(NumberFormText(FORM_HEX, (1ull << 40) | 5u), QStringLiteral("0000000005"));
}

TEST(NumberForms, LineNamesTheChosenFormsInListOrderAndIsEmptyForNone) {
    EXPECT_EQ(NumberFormsLine(FORM_W26 | FORM_HEX, 78187493530ull), QStringLiteral("HEX 123456789A  W26 086,30874"));
    EXPECT_EQ(NumberFormsLine(NUMBER_FORMS_ALL, 4328719365ull),
              QStringLiteral("HEX 0102030405  DEZ10 0033752069  DEZ8 00197637  W26 003,01029  5.5 00515,01029"));
    EXPECT_TRUE(NumberFormsLine(0, 78187493530ull).isEmpty());
}

TEST(NumberForms, StoredChoiceReadsBackAndToleratesHandEditedText) {
    for (NumberFormSet forms : {0u, unsigned(FORM_HEX), FORM_DEZ8 | FORM_5_5, NUMBER_FORMS_ALL})
        EXPECT_EQ(NumberFormsFromText(NumberFormsToText(forms)), forms) << forms;
    EXPECT_EQ(NumberFormsToText(FORM_5_5 | FORM_HEX), QStringLiteral("HEX,5.5"));
    EXPECT_EQ(NumberFormsFromText(QStringLiteral(" w26 ,,bogus,Dez10,")), FORM_W26 | FORM_DEZ10);
    EXPECT_EQ(NumberFormsFromText(QString()), 0u);
}

TEST(NumberForms, CommandLineWordsNameOneFormOrAll) {
    EXPECT_EQ(NumberFormsFromOption(QStringLiteral("hex")), unsigned(FORM_HEX));
    EXPECT_EQ(NumberFormsFromOption(QStringLiteral("DEZ10")), unsigned(FORM_DEZ10));
    EXPECT_EQ(NumberFormsFromOption(QStringLiteral("dez8")), unsigned(FORM_DEZ8));
    EXPECT_EQ(NumberFormsFromOption(QStringLiteral("w26")), unsigned(FORM_W26));
    EXPECT_EQ(NumberFormsFromOption(QStringLiteral("3.5")), unsigned(FORM_W26));
    EXPECT_EQ(NumberFormsFromOption(QStringLiteral("5.5")), unsigned(FORM_5_5));
    EXPECT_EQ(NumberFormsFromOption(QStringLiteral("all")), NUMBER_FORMS_ALL);
    for (const char* word : {"", "hex,w26", "5,5", "dez", "HEX "})
        EXPECT_FALSE(NumberFormsFromOption(QLatin1String(word))) << word;
}
