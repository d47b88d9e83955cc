#include "pages/NumberSequence.h"

#include "reader/CardIdentifier.h"

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
        quint64(DecimalToInt64(strVendorId)) * 4294967296ull + quint64(DecimalToInt64(strCardNo));
    return QStringLiteral("%1").arg(identifier, 13, 10, QLatin1Char('0'));
}

bool IdentifierTextFits(const QString& text) {
    const qint64 value = DecimalToInt64(text);
    return value >= 0 && quint64(value) <= MAX_IDENTIFIER;
}

bool FieldsFitIdentifier(const QString& strVendorId, const QString& strCardNo) {
    const qint64 vendor = DecimalToInt64(strVendorId);
    const qint64 card = DecimalToInt64(strCardNo);
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
        quint64 n = quint64(DecimalToInt64(strCardNo)) + 1;
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
