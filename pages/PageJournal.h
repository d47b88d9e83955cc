#pragma once

// The card pages' texts about the production journal, in the three built-in languages (a language file
// may carry them by key). What the pages record goes through the station's card journal (CCardJournal).

#include "journal/JournalRecord.h"
#include "language/MultiLanguage.h"
#include "station/CardJournal.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace JournalText {
extern const CBuiltInText Duplicate;   // %1 time, %2 station: after the failed-write line
extern const CBuiltInText NotRecorded; // after the failed-write line of a card the journal cannot record
extern const CBuiltInText OnReader;    // %1 identifier, %2 time, %3 station: a finished card not written again
extern const CBuiltInText Overwritten; // %1 identifier: after the written line of a good card written again
} // namespace JournalText

// The log's addition to a failed-write line for a number already on a good card, in the page's language.
QString DuplicateLogText(const CMultiLanguage& language, const JournalRecord& goodCard);
// The log's addition to a failed-write line for a card on the reader that is a finished good card.
QString FinishedCardLogText(const CMultiLanguage& language, std::uint64_t heldId, const JournalRecord& goodCard);
