#pragma once

// What the card pages keep in the production journal. Every read, write, verification and refused write
// of a page is one record, committed before the page's handler returns, and no card is written while the
// journal could not record its result. Without a journal (a page on its own) or with the journal turned
// off, cards are written and nothing is recorded.

#include "journal/JournalRecorder.h"
#include "language/MultiLanguage.h"
#include "reader/CardIdentifier.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace JournalText {
extern const CBuiltInText Duplicate;   // %1 time, %2 station: after the failed-write line
extern const CBuiltInText NotRecorded; // after the failed-write line of a card the journal cannot record
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

private:
    CJournalRecorder* m_pRecorder;
    JournalSource m_source;
};

// The reasons the journal stores, in its own fixed words.
QString NotANumberReason(NumberTextError error);
QString NotRecordedReason();
QString TransferFailedReason();
QString DuplicateReason(const JournalRecord& goodCard);
// What a card that failed its verification holds: the identifier read back, or that nothing could be read.
QString VerifyFailedReason(std::optional<std::uint64_t> readBack);

// The log's addition to a failed-write line for a number already on a good card, in the page's language.
QString DuplicateLogText(const CMultiLanguage& language, const JournalRecord& goodCard);
