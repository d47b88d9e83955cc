#pragma once

// The reasons the journal stores with a refused, failed or overwritten write, in its own fixed words (the
// window shows them; other programs read them), the same whichever page or command wrote the card.

#include "journal/JournalRecord.h"
#include "cards/CardIdentifier.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

QString NotANumberReason(NumberTextError error);
QString NotRecordedReason();
QString TransferFailedReason();
// A number the journal has on a good card already, refused for another card.
QString DuplicateReason(const JournalRecord& goodCard);
// The card on the reader is a finished card: heldId, its number, is on record as a good card.
QString FinishedCardReason(std::uint64_t heldId, const JournalRecord& goodCard);
// The record of a good card written over: the number it holds now.
QString OverwrittenReason(std::uint64_t writtenId);
// What a card that failed its verification holds: the identifier read back, or that nothing could be read.
QString VerifyFailedReason(std::optional<std::uint64_t> readBack);

// A stored reason taken apart, so that a window can say it in its own language while the journal and its
// exports keep the fixed words: which reason above it is, its values in order (identifiers, times,
// stations), and the batch an overwritten card's number went back to.
enum class ReasonKind { OutOfRange, NotANumber, NotRecorded, TransferFailed, Duplicate, FinishedCard, Overwritten,
                        CardHolds, CardHoldsNothing };
struct ReasonParts {
    ReasonKind kind = ReasonKind::NotANumber;
    QStringList values;
    QString backToBatch; // empty when the reason names no batch
};
// nullopt for text that is none of the reasons above (an older program's words): shown as it is.
std::optional<ReasonParts> ParseReason(const QString& reason);
