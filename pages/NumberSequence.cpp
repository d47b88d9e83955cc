#include "pages/NumberSequence.h"

#include <limits>

qint64 DecimalValue(const QString& text) {
    int i = 0;
    const int length = int(text.size());
    while (i < length && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < length && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate the magnitude as unsigned, saturating once it passes the signed range.
    const quint64 limit = negative ? quint64(std::numeric_limits<qint64>::max()) + 1
                                   : quint64(std::numeric_limits<qint64>::max());
    quint64 magnitude = 0;
    for (; i < length && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const quint64 digit = text[i].unicode() - u'0';
        if (magnitude > (limit - digit) / 10)
            magnitude = limit;
        else
            magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == limit ? std::numeric_limits<qint64>::min() : -qint64(magnitude);
    return qint64(magnitude);
}

int CRandomGenerator::Draw() {
    m_nState = m_nState * 214013u + 2531011u;
    return int((m_nState >> 16) & 0x7FFF);
}

quint64 Random64(CRandomGenerator& generator) {
    quint64 value = 0;
    for (int i = 0; i < 5; ++i)
        value = (value << 15) + quint64(generator.Draw());
    return value;
}

QString ComposeWrittenText(const QString& strVendorId, const QString& strCardNo) {
    const quint64 identifier =
        quint64(DecimalValue(strVendorId)) * 4294967296ull + quint64(DecimalValue(strCardNo));
    return QStringLiteral("%1").arg(identifier, 13, 10, QLatin1Char('0'));
}

bool FieldsFitIdentifier(const QString& strVendorId, const QString& strCardNo) {
    const qint64 vendor = DecimalValue(strVendorId);
    const qint64 card = DecimalValue(strCardNo);
    return vendor >= 0 && quint64(vendor) <= MAX_VENDOR_ID && card >= 0 && quint64(card) <= MAX_CARD_NUMBER;
}

namespace {
QString CardNumberText(quint64 n) {
    return QStringLiteral("%1").arg(n, 10, 10, QLatin1Char('0'));
}
} // namespace

QString NextCardNumber(int nNumberMode, const QString& strCardNo, CRandomGenerator& generator) {
    switch (nNumberMode) {
    case MODE_INCREASE: {
        quint64 n = quint64(DecimalValue(strCardNo)) + 1;
        // Compared as signed, as the conversion gives a signed value: a negative text counts up.
        if (qint64(n) > qint64(MAX_CARD_NUMBER))
            n = 1;
        return CardNumberText(n);
    }
    case MODE_RANDOM:
        return CardNumberText(((Random64(generator) & 0xFFFFFFFFull) + 1) & 0xFFFFFFFFull);
    default:
        return strCardNo;
    }
}
