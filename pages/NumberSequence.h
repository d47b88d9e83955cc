#pragma once

#include <QString>
#include <QtGlobal>

// The card numbers of Mass Production: the identifier written for a vendor ID and card number,
// and the card number that follows a good card.

// What happens to the card number after a good card (the radio group 1011-1013).
enum { MODE_INCREASE = 0, MODE_RANDOM = 1, MODE_NOCHANGE = 2 };

// Field limits: the largest identifier, card number and vendor ID.
constexpr quint64 MAX_IDENTIFIER = 1099511627775ull; // 2^40 - 1
constexpr quint64 MAX_CARD_NUMBER = 4294967295ull;   // 2^32 - 1
constexpr quint64 MAX_VENDOR_ID = 255;

// The 32-bit linear congruential generator behind MODE_RANDOM: each draw advances the state as
// state * 214013 + 2531011 (mod 2^32) and returns bits 16 to 30 of the new state (0 to 32767).
class CRandomGenerator {
public:
    void Seed(quint32 seed) { m_nState = seed; }
    int Draw();
    quint32 State() const { return m_nState; }

private:
    quint32 m_nState = 1;
};

// Five successive draws r1..r5 combined as ((((r1*2^15 + r2)*2^15 + r3)*2^15 + r4)*2^15 + r5)
// modulo 2^64.
quint64 Random64(CRandomGenerator& generator);

// The text written for a vendor ID and a card number: value(vendor) * 2^32 + value(card) in
// 64-bit two's-complement arithmetic, as an unsigned decimal of at least 13 digits.
QString ComposeWrittenText(const QString& strVendorId, const QString& strCardNo);

// Whether a text to be written holds an identifier, 0 to 2^40 - 1. Pasted text can hold more,
// which the card would receive reduced to its low 40 bits, or a negative number.
bool IdentifierTextFits(const QString& text);

// Whether both fields hold numbers in range (vendor ID 0..255, card number 0..4294967295), so
// that the written identifier is the one the fields show. Pasted text can break this.
bool FieldsFitIdentifier(const QString& strVendorId, const QString& strCardNo);

// The card number after a good card in the given mode. MODE_INCREASE: value + 1, where 1
// follows 4294967295; MODE_RANDOM: the low 32 bits of Random64 plus 1, modulo 2^32; both as at
// least 10 digits. Any other mode leaves the text as it is, and draws nothing.
QString NextCardNumber(int nNumberMode, const QString& strCardNo, CRandomGenerator& generator);
