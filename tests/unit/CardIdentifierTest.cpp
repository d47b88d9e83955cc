#include "cards/CardIdentifier.h"
#include "cards/CardFrame.h"
#include "cards/NumberForms.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

} // namespace

TEST(DecimalConversion, TakesBlanksOneSignAndDigitsUpToTheFirstOtherCharacter) {
    const struct {
        const char* text;
        std::int64_t value;
    } cases[] = {
        {"", 0},
        {"abc", 0},
        {" 42xyz", 42},
        {"-1", -1},
        {"+7", 7},
        {" \t\r\n\v\f12", 12},
        {"1 2", 1},
        {"--5", 0},
        {"+-5", 0},
        {"- 5", 0},
        {"0078187493530", 78187493530},
        {"1099511627776", 1099511627776},
        {"  -0", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecimalToInt64(QString::fromLatin1(c.text)), c.value) << '"' << c.text << '"';
}

TEST(DecimalConversion, SaturatesAtTheEndsOfTheSignedRange) {
    EXPECT_EQ(DecimalToInt64("9223372036854775807"), kMax);
    EXPECT_EQ(DecimalToInt64("9223372036854775808"), kMax);
    EXPECT_EQ(DecimalToInt64("99999999999999999999999999"), kMax);
    EXPECT_EQ(DecimalToInt64("-9223372036854775808"), kMin);
    EXPECT_EQ(DecimalToInt64("-9223372036854775809"), kMin);
    EXPECT_EQ(DecimalToInt64("-99999999999999999999999999x"), kMin);
    EXPECT_EQ(DecimalToInt64("-9223372036854775807"), kMin + 1);
}

TEST(DecimalConversion, OnlyAsciiDigitsAndBlanksCount) {
    EXPECT_EQ(DecimalToInt64(QStringLiteral("\u0661\u0662")), 0); // Arabic-Indic digits
    EXPECT_EQ(DecimalToInt64(QStringLiteral("\uFF11\uFF12")), 0); // full-width digits
    EXPECT_EQ(DecimalToInt64(QStringLiteral("\u00A012")), 0);     // no-break space is not a blank
    EXPECT_EQ(DecimalToInt64(QStringLiteral("12\u00B33")), 12);
}

TEST(CardTextForms, FullVendorAndCardForms) {
    EXPECT_EQ(CardIdText(78187493530), "0078187493530");
    EXPECT_EQ(CardIdText(878082202), "0000878082202");
    EXPECT_EQ(CardIdText(0), "0000000000000");
    EXPECT_EQ(CardIdText(1099511627775), "1099511627775");

    EXPECT_EQ(VendorIdText("0078187493530"), "VENDOR ID:018");
    EXPECT_EQ(CardNoText("0078187493530"), "CARD NO.:0878082202");
    EXPECT_EQ(VendorIdText("1099511627775"), "VENDOR ID:255");
    EXPECT_EQ(CardNoText("1099511627775"), "CARD NO.:4294967295");
    EXPECT_EQ(VendorIdText("0000878082202"), "VENDOR ID:000");
    EXPECT_EQ(CardNoText(""), "CARD NO.:0000000000");
}

TEST(FieldNumber, OnlyDigitsWithBlanksAroundThemAreANumber) {
    const struct {
        const char* text;
        std::uint64_t max;
        NumberTextError error;
        std::uint64_t value;
    } cases[] = {
        {" 42\t", MAX_IDENTIFIER, NumberTextError::None, 42},
        {"0078187493530", MAX_IDENTIFIER, NumberTextError::None, 78187493530},
        {"1099511627775", MAX_IDENTIFIER, NumberTextError::None, MAX_IDENTIFIER},
        {"255", MAX_VENDOR_ID, NumberTextError::None, 255},
        {"1099511627776", MAX_IDENTIFIER, NumberTextError::OutOfRange, 0},
        {"256", MAX_VENDOR_ID, NumberTextError::OutOfRange, 0},
        {"000000000000000000000000000000256", MAX_VENDOR_ID, NumberTextError::OutOfRange, 0},
        {"99999999999999999999999999999999", MAX_IDENTIFIER, NumberTextError::OutOfRange, 0},
        {"", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {"  ", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {"abc", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {" 42xyz", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {"1.5e3", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {"1 2", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {"-1", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {"+7", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
        {"9999999999999999999x", MAX_IDENTIFIER, NumberTextError::NotANumber, 0},
    };
    for (const auto& c : cases) {
        const FieldNumber number = ParseFieldNumber(QString::fromLatin1(c.text), c.max);
        EXPECT_EQ(number.error, c.error) << '"' << c.text << '"';
        EXPECT_EQ(number.value, c.value) << '"' << c.text << '"';
    }
    EXPECT_EQ(ParseFieldNumber(QStringLiteral("\uFF11\uFF12"), MAX_IDENTIFIER).error,
              NumberTextError::NotANumber);
    EXPECT_EQ(ParseFieldNumber(QStringLiteral("\u00A012"), MAX_IDENTIFIER).error,
              NumberTextError::NotANumber);
}

TEST(CardIdentifierText, OneParserTakesExactlyTheFormsItsCallerNames) {
    const auto value = [](const char* text, unsigned forms) { return ParseIdentifier(QString::fromUtf8(text), forms).value; };
    const unsigned command = ID_DECIMAL | ID_HEX;   // rfidctl's arguments
    const unsigned list = ID_THIRTEEN | ID_VENDOR_CARD; // an imported list's lines
    EXPECT_EQ(value("78187493530", command), 78187493530u);
    EXPECT_EQ(value("0x123456789a", command), 0x123456789Au);
    EXPECT_EQ(value("0X123456789A", command), 0x123456789Au);
    EXPECT_EQ(value("0078187493530", list), 78187493530u);
    EXPECT_EQ(value("18:878082202", list), 78187493530u);
    EXPECT_EQ(value(" 18 : 7 ", list), (18ull << 32) + 7);
    for (const char* bad : {"", " 42", "42 ", "+1", "1e5", "00000000000001", "0x1F", "0x123456789G", "1099511627776"})
        EXPECT_FALSE(value(bad, command)) << bad;
    for (const char* bad : {"78187493530", "256:1", "1:4294967296", "a:1", "0x123456789A"})
        EXPECT_FALSE(value(bad, list)) << bad;
    // The words a refusal is said and recorded with.
    EXPECT_EQ(ParseIdentifier(u"1099511627776", command).error, NumberTextError::OutOfRange);
    EXPECT_EQ(ParseIdentifier(u"0x123456789AB", command).error, NumberTextError::OutOfRange);
    EXPECT_EQ(ParseIdentifier(u"12ab", command).error, NumberTextError::NotANumber);
    EXPECT_EQ(ParseIdentifier(u"12ab", command).problem, QStringLiteral("not decimal below 2^40 or 0x and 10 hex digits"));
    EXPECT_EQ(ParseIdentifier(u"123", list).problem, QStringLiteral("not 13 digits or vendor:card"));
    EXPECT_EQ(ParseIdentifier(u"9999999999999", list).problem,
              QStringLiteral("not an identifier (13 digits, below 1099511627776)"));
    EXPECT_EQ(ParseIdentifier(u"300:1", list).problem, QStringLiteral("the vendor ID must be 0 to 255"));
}

namespace {

bool SearchFinds(const IdentifierSearch& search, std::uint64_t identifier) {
    switch (search.kind) {
    case IdentifierSearch::Identifier:
        return identifier == search.value;
    case IdentifierSearch::CardNumber:
        return (identifier & 0xFFFFFFFFu) == search.value;
    case IdentifierSearch::Low24Bits:
        return (identifier & 0xFFFFFFu) == search.value;
    }
    return false;
}

} // namespace

TEST(IdentifierSearchText, EveryPrintedFormFindsItsCardAndNoOther) {
    for (const std::uint64_t id : {(18ull << 32) | 1000u, (255ull << 32) | 0xFFFFFFFFu, 0x123456789Aull, 0ull}) {
        const QString full = CardIdText(id);
        const QString vendorCard = QStringLiteral("%1:%2").arg(id >> 32).arg(id & 0xFFFFFFFFu);
        const QString hex = QStringLiteral("0x") + NumberFormText(FORM_HEX, id);
        const QString forms[] = {full, vendorCard, hex, NumberFormText(FORM_DEZ10, id), NumberFormText(FORM_W26, id),
                                 NumberFormText(FORM_5_5, id), QStringLiteral("  %1 ").arg(id & 0xFFFFFFFFu)};
        for (const QString& text : forms) {
            const std::optional<IdentifierSearch> search = ParseIdentifierSearch(text);
            ASSERT_TRUE(search) << text.toStdString();
            EXPECT_TRUE(SearchFinds(*search, id)) << text.toStdString();
            // Another card number never matches; another vendor only when the text gives no vendor.
            EXPECT_FALSE(SearchFinds(*search, id ^ 0x10000u)) << text.toStdString();
            const bool namesVendor = text == full || text == vendorCard || text == hex;
            EXPECT_EQ(SearchFinds(*search, id ^ (7ull << 32)), !namesVendor) << text.toStdString();
        }
    }
    EXPECT_EQ(ParseIdentifierSearch(u"1000")->kind, IdentifierSearch::CardNumber);
    EXPECT_EQ(ParseIdentifierSearch(u"0000000001000")->kind, IdentifierSearch::Identifier);
}

TEST(IdentifierSearchText, TextThatIsNoFormFindsNothing) {
    for (const char16_t* text : {u"", u"  ", u"abc", u"1,2,3", u"256,1", u"1,65536", u"12:", u"256:1", u"0x12",
                                 u"0x12345678GZ", u"12345678901234", u"1099511627776", u"-5", u"1e3", u"１２"})
        EXPECT_FALSE(ParseIdentifierSearch(QStringView(text))) << QString::fromUtf16(text).toStdString();
}
