#include "reader/CardIdentifier.h"

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
