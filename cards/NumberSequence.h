#pragma once

#include "cards/CardFrame.h"
#include "cards/CardIdentifier.h"

#include <QString>
#include <QtGlobal>

// The card numbers of Mass Production: the identifier written for a vendor ID and card number,
// and the card number that follows a good card.

// What happens to the card number after a good card (the radio group 1011-1013).
enum { MODE_INCREASE = 0, MODE_RANDOM = 1, MODE_NOCHANGE = 2 };

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

// The identifier the Mass Production fields give: vendor ID * 2^32 + card number. Each field is read
// strictly (ParseFieldNumber), an empty one counting as 0; the first field that holds no plain number,
// or one beyond its range (vendor ID 0..255, card number 0..4294967295), gives its error instead, so
// the card never gets another identifier than the fields show.
FieldNumber ComposeIdentifier(const QString& strVendorId, const QString& strCardNo);

// A card number as the card number field shows it: at least 10 digits, zero-padded.
QString CardNumberText(quint64 n);

// The card number after a good card in the given mode. MODE_INCREASE: value + 1, where 1
// follows 4294967295; MODE_RANDOM: the low 32 bits of Random64 plus 1, modulo 2^32; both as at
// least 10 digits. Any other mode leaves the text as it is, and draws nothing.
QString NextCardNumber(int nNumberMode, const QString& strCardNo, CRandomGenerator& generator);
