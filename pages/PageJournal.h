#pragma once

// What the card pages keep in the production journal. Every read, write, verification and refused write
// of a page is one record, committed before the page's handler returns, and no card is written while the
// journal could not record its result. Without a journal (a page on its own) or with the journal turned
// off, cards are written and nothing is recorded.

#include "journal/JournalReasons.h"
#include "journal/JournalRecorder.h"
#include "language/MultiLanguage.h"
#include "reader/CardIdentifier.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace JournalText {
extern const CBuiltInText Duplicate;   // %1 time, %2 station: after the failed-write line
extern const CBuiltInText NotRecorded; // after the failed-write line of a card the journal cannot record
extern const CBuiltInText OnReader;    // %1 identifier, %2 time, %3 station: a finished card not written again
extern const CBuiltInText Overwritten; // %1 identifier: after the written line of a good card written again
} // namespace JournalText

// How many numbers Random mode draws for one card before it gives up on finding one that is on no good card.
inline constexpr int MAX_RANDOM_DRAWS = 32;

// The journal of one page: the recorder of the window (may be null) and the page's source.
class CPageJournal {
public:
    CPageJournal(CJournalRecorder* recorder, JournalSource source)
        : m_pRecorder(recorder), m_source(source) {}

    // Whether a card may be written now: no journal, the journal off, or every earlier record committed.
    bool MayWrite();
    // Whether the journal is kept: there is one and it is on.
    bool IsOn() const;
    // Records one operation; true when it is committed or nothing is to be recorded. A record that could
    // not be committed stays with the recorder and is committed before the next card may be written.
    bool Record(JournalOperation operation, JournalResult result, std::optional<std::uint64_t> cardId,
                const QString& reason = QString(), bool verifyRequested = false);
    bool RecordRefused(std::optional<std::uint64_t> cardId, const QString& reason) {
        return Record(JournalOperation::Write, JournalResult::Refused, cardId, reason);
    }

    // What the journal says of a number about to be written where duplicates are refused.
    struct GoodCardAnswer {
        bool answered = true;                  // false: the journal could not be asked, no card is written
        std::optional<JournalRecord> goodCard; // the good card that holds the number already
    };
    GoodCardAnswer FindGoodCard(std::uint64_t cardId);
    // What the journal says of the number a card on the reader holds: a good card on record means a
    // finished card, whatever duplicates are allowed.
    GoodCardAnswer FindFinishedCard(std::uint64_t cardId);
    // A card that held heldId was written with writtenId: when heldId is on record as a good card, the
    // journal records that this card holds it no longer (its batch, if any, gets it back). True when it was
    // such a card.
    bool RecordOverwrite(std::uint64_t heldId, std::uint64_t writtenId);

private:
    CJournalRecorder* m_pRecorder;
    JournalSource m_source;
};

// The log's addition to a failed-write line for a number already on a good card, in the page's language.
QString DuplicateLogText(const CMultiLanguage& language, const JournalRecord& goodCard);
// The log's addition to a failed-write line for a card on the reader that is a finished good card.
QString FinishedCardLogText(const CMultiLanguage& language, std::uint64_t heldId, const JournalRecord& goodCard);
