#pragma once

// The cards the soak has finished with, and what it finds when it holds them against the page's log,
// the production journal and the batch report.

#include "emulator/EmulatedReader.h"

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class CJournal;

enum class CardFate { Good, ThrownAway };

// One card the soak put aside: what the emulated card held when the soak finished with it last (a card
// laid again is finished again) and, for a good card, the identifier the log said it got.
struct FinishedCard {
    CEmulatedReader::CardKind kind = CEmulatedReader::CARD_WRITABLE;
    CardFate fate = CardFate::ThrownAway;
    std::optional<std::uint64_t> holds;
    std::uint64_t logged = 0;
};

// Every card the soak produced, by its slot; cards are never dropped, so any of them can be laid again.
using CardShelf = std::vector<FinishedCard>;

// The numbers held by the good cards of the shelf, with how many good cards hold each.
std::map<std::uint64_t, int> GoodCardNumbers(const CardShelf& shelf);
bool IsOnAGoodCard(const CardShelf& shelf, std::uint64_t identifier);

// What the log said against what the cards hold.
struct LogVerdict {
    int wrong = 0;      // good by the log, holding another number
    int onTwoGood = 0;  // numbers held by more than one good card
    int skipped = 0;    // numbers between the first and the last good card that no good card holds
    int alsoThrown = 0; // numbers of good cards that a thrown-away card holds as well
};
LogVerdict JudgeAgainstLog(const CardShelf& shelf);

// A record of good cards (the journal, a batch report) against the good cards of the shelf.
struct RecordVerdict {
    bool read = false;       // the record could be read
    int goodNumbers = 0;     // numbers on record as good
    int notOnAGoodCard = 0;  // on record as good, but no good card of the soak holds it
    int onNoCardAtAll = 0;   // ... and no card of the soak holds it at all
    int cardsNotOnRecord = 0; // good cards whose number is not on record as good
    int recordedTwice = 0;   // numbers on record as put on a good card more than once
    bool Sound() const { return read && notOnAGoodCard == 0 && cardsNotOnRecord == 0 && recordedTwice == 0; }
};
// recordedGood: each number on record as good, with how many times it was put on a good card.
RecordVerdict JudgeAgainstRecord(const CardShelf& shelf, const std::map<std::uint64_t, int>& recordedGood);

// The numbers the journal has on record as put on a good card (written and verified, or written with
// Verify off), counted per card net of the overwrites recorded; nullopt when it cannot be read.
std::optional<std::map<std::uint64_t, int>> JournalGoodNumbers(CJournal& journal, QString* error);
// The numbers of a batch's report in the states written or verified; nullopt when it cannot be read.
std::optional<std::map<std::uint64_t, int>> BatchGoodNumbers(CJournal& journal, const QString& batch,
                                                             QString* error);
