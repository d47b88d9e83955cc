#include "cards/NumberSequence.h"

#include "cards/CardIdentifier.h"

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

namespace {
FieldNumber FieldOrZero(const QString& text, std::uint64_t max) {
    return text.isEmpty() ? FieldNumber{} : ParseFieldNumber(text, max);
}
} // namespace

FieldNumber ComposeIdentifier(const QString& strVendorId, const QString& strCardNo) {
    const FieldNumber vendor = FieldOrZero(strVendorId, MAX_VENDOR_ID);
    if (!vendor.IsValid())
        return vendor;
    const FieldNumber card = FieldOrZero(strCardNo, MAX_CARD_NUMBER);
    if (!card.IsValid())
        return card;
    return {(vendor.value << 32) | card.value, NumberTextError::None};
}

QString CardNumberText(quint64 n) {
    return QStringLiteral("%1").arg(n, 10, 10, QLatin1Char('0'));
}

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
