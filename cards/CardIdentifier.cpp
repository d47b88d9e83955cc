#include "cards/CardIdentifier.h"

#include "cards/CardFrame.h"

#include <QStringList>

#include <algorithm>
#include <limits>
#include <string>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The vendor and card forms start from the full-form text, read back as an unsigned number.
std::uint64_t CardIdFromText(const QString& fullText) {
    return static_cast<std::uint64_t>(DecimalToInt64(fullText));
}

} // namespace

std::int64_t DecimalToInt64(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // The magnitude is gathered unsigned; the most negative value is one more than the most positive.
    const std::uint64_t limit = negative
                                    ? std::uint64_t{1} << 63
                                    : static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
        const unsigned digit = static_cast<unsigned>(text[pos] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative)
        return static_cast<std::int64_t>(magnitude);
    if (magnitude == limit)
        return std::numeric_limits<std::int64_t>::min();
    return -static_cast<std::int64_t>(magnitude);
}

std::int64_t DecimalToInt64(const QString& text) {
    // Only ASCII blanks, signs and digits take part; any other character ends the number.
    std::string ascii;
    ascii.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text)
        ascii.push_back(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '\x7f');
    return DecimalToInt64(std::string_view(ascii));
}

FieldNumber ParseFieldNumber(const QString& text, std::uint64_t max) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() < 0x80 && IsBlank(char(text[begin].unicode())))
        ++begin;
    while (end > begin && text[end - 1].unicode() < 0x80 && IsBlank(char(text[end - 1].unicode())))
        --end;
    if (begin == end)
        return {0, NumberTextError::NotANumber};
    bool tooLarge = false;
    std::uint64_t value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return {0, NumberTextError::NotANumber};
        const unsigned digit = unsigned(c - u'0');
        // Once beyond the limit the value stops growing, so no number of digits overflows it.
        if (!tooLarge && (value > max / 10 || digit > max - value * 10))
            tooLarge = true;
        if (!tooLarge)
            value = value * 10 + digit;
    }
    if (tooLarge)
        return {0, NumberTextError::OutOfRange};
    return {value, NumberTextError::None};
}

QString CardIdText(std::uint64_t cardId) {
    return QStringLiteral("%1").arg(cardId, 13, 10, QLatin1Char('0'));
}

QString VendorIdText(const QString& fullText) {
    return QStringLiteral("VENDOR ID:%1").arg(CardIdFromText(fullText) >> 32, 3, 10, QLatin1Char('0'));
}

QString CardNoText(const QString& fullText) {
    return QStringLiteral("CARD NO.:%1")
        .arg(CardIdFromText(fullText) & 0xFFFFFFFFu, 10, 10, QLatin1Char('0'));
}

namespace {

// Digits only, at most maxDigits of them, value at most max.
std::optional<std::uint64_t> DecimalDigits(QStringView text, qsizetype maxDigits, std::uint64_t max) {
    if (text.isEmpty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c.unicode() - u'0');
    }
    return value <= max ? std::optional(value) : std::nullopt;
}

std::optional<std::uint64_t> HexDigits(QStringView text) {
    constexpr qsizetype kHexDigits = 10;
    if (text.size() != 2 + kHexDigits || text[0] != u'0' || (text[1] != u'x' && text[1] != u'X'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : text.mid(2)) {
        const char16_t u = c.unicode();
        const int digit = u >= u'0' && u <= u'9'   ? u - u'0'
                          : u >= u'a' && u <= u'f' ? u - u'a' + 10
                          : u >= u'A' && u <= u'F' ? u - u'A' + 10
                                                   : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
    }
    return value;
}

ParsedIdentifier Problem(const QString& problem, NumberTextError error = NumberTextError::NotANumber) {
    return {std::nullopt, problem, error};
}

bool AllOf(QStringView text, bool (*test)(char16_t)) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [test](QChar c) { return test(c.unicode()); });
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

ParsedIdentifier VendorCard(QStringView text, qsizetype colon) {
    const auto vendor = DecimalDigits(text.left(colon).trimmed(), 3, MAX_VENDOR_ID);
    const auto card = DecimalDigits(text.mid(colon + 1).trimmed(), 10, MAX_CARD_NUMBER);
    if (!vendor)
        return Problem(QStringLiteral("the vendor ID must be 0 to 255"));
    if (!card)
        return Problem(QStringLiteral("the card number must be 0 to 4294967295"));
    return {(*vendor << 32) | *card, QString(), NumberTextError::None};
}

// The forms in words, for a text that is none of them.
QString FormsText(unsigned forms) {
    QStringList names;
    if (forms & ID_DECIMAL)
        names << QStringLiteral("decimal below 2^40");
    else if (forms & ID_THIRTEEN)
        names << QStringLiteral("13 digits");
    if (forms & ID_HEX)
        names << QStringLiteral("0x and 10 hex digits");
    if (forms & ID_VENDOR_CARD)
        names << QStringLiteral("vendor:card");
    return names.join(QStringLiteral(" or "));
}

} // namespace

ParsedIdentifier ParseIdentifier(QStringView text, unsigned forms) {
    const qsizetype colon = text.indexOf(u':');
    if (colon >= 0 && (forms & ID_VENDOR_CARD))
        return VendorCard(text, colon);
    if ((forms & ID_HEX) && text.startsWith(u"0x", Qt::CaseInsensitive)) {
        if (const auto value = HexDigits(text))
            return {value, QString(), NumberTextError::None};
        return Problem(QStringLiteral("not an identifier (0x and 10 hex digits)"),
                       AllOf(text.mid(2), IsHexDigit) ? NumberTextError::OutOfRange : NumberTextError::NotANumber);
    }
    if ((forms & ID_THIRTEEN) && !(forms & ID_DECIMAL) && text.size() != 13)
        return Problem(QStringLiteral("not %1").arg(FormsText(forms)));
    if (forms & (ID_DECIMAL | ID_THIRTEEN)) {
        if (const auto value = DecimalDigits(text, 13, MAX_IDENTIFIER))
            return {value, QString(), NumberTextError::None};
        if (AllOf(text, IsDigit))
            return Problem(QStringLiteral("not an identifier (%1 digits, below 1099511627776)")
                               .arg((forms & ID_DECIMAL) ? QStringLiteral("up to 13") : QStringLiteral("13")),
                           NumberTextError::OutOfRange);
    }
    return Problem(QStringLiteral("not %1").arg(FormsText(forms)));
}

namespace {

// "a,b": two groups of digits around one comma (W26 and 5.5).
std::optional<IdentifierSearch> PairSearch(QStringView text, qsizetype comma) {
    const QStringView high = text.left(comma).trimmed();
    const auto low = DecimalDigits(text.mid(comma + 1).trimmed(), 5, 0xFFFF);
    if (!low)
        return std::nullopt;
    // 5.5 prints the high half in five digits; W26 its facility code in up to three.
    if (high.size() == 5) {
        if (const auto value = DecimalDigits(high, 5, 0xFFFF))
            return IdentifierSearch{IdentifierSearch::CardNumber, (*value << 16) | *low};
        return std::nullopt;
    }
    if (const auto value = DecimalDigits(high, 3, 0xFF))
        return IdentifierSearch{IdentifierSearch::Low24Bits, (*value << 16) | *low};
    return std::nullopt;
}

} // namespace

std::optional<IdentifierSearch> ParseIdentifierSearch(QStringView text) {
    text = text.trimmed();
    if (const qsizetype comma = text.indexOf(u','); comma >= 0)
        return PairSearch(text, comma);
    // Up to ten digits are the number printed on the card; more name the whole identifier.
    if (text.size() <= 10) {
        if (const auto card = DecimalDigits(text, 10, MAX_CARD_NUMBER))
            return IdentifierSearch{IdentifierSearch::CardNumber, *card};
    }
    const ParsedIdentifier parsed = ParseIdentifier(text, ID_DECIMAL | ID_HEX | ID_VENDOR_CARD);
    if (!parsed.value)
        return std::nullopt;
    return IdentifierSearch{IdentifierSearch::Identifier, *parsed.value};
}
