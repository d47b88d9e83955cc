#pragma once

// The texts of the production journal (its window, its menu item and its messages) in the three built-in
// languages. A language file may carry any of them under its key in [SPECIAL_STRING].

#include "journal/Journal.h"
#include "language/MultiLanguage.h"

namespace JournalText {
extern const CBuiltInText MenuItem;
extern const CBuiltInText Title;
extern const CBuiltInText Identifier;
extern const CBuiltInText Result;
extern const CBuiltInText From;
extern const CBuiltInText To;
extern const CBuiltInText AnyDate;
extern const CBuiltInText All;
extern const CBuiltInText Copy;
extern const CBuiltInText Export;
extern const CBuiltInText Close;
extern const CBuiltInText Totals; // %1 good, %2 failed, %3 refused, %4 to throw away, %5 overwritten, %6 records
extern const CBuiltInText Counting; // in place of the totals while they are counted
extern const CBuiltInText Exported;       // %1 records, %2 file
extern const CBuiltInText ExportFailed;   // %1 file, %2 reason
extern const CBuiltInText CsvFiles;
extern const CBuiltInText ResultNames[5]; // in the order of JournalResult
extern const CBuiltInText OperationNames[4]; // in the order of JournalOperation
extern const CBuiltInText Columns[10];    // in the order of CJournalModel's columns
extern const CBuiltInText Station;
extern const CBuiltInText Source;
extern const CBuiltInText Batch;
extern const CBuiltInText Refresh;
extern const CBuiltInText ExportJson;
extern const CBuiltInText JsonFiles;
extern const CBuiltInText Exporting;       // %1 records
extern const CBuiltInText Cancel;
extern const CBuiltInText ExportCancelled; // %1 file
extern const CBuiltInText ReasonNames[9];  // in the order of ReasonKind, with its values as %1, %2, %3
extern const CBuiltInText BackToBatch;     // %1 batch, after an overwritten card's reason
// Messages of the main window about the journal (the pages' own are in pages/PageJournal.h).
extern const CBuiltInText CannotOpen;     // %1 file, %2 reason
extern const CBuiltInText CannotRecord;   // %1 file, %2 reason
extern const CBuiltInText KeptAside;      // %1 file, %2 where it is now
extern const CBuiltInText TooNew;         // %1 file
} // namespace JournalText

// The main window's message about a journal that cannot be used, or was damaged and kept aside.
QString JournalProblemMessage(const CMultiLanguage& language, const JournalStatus& status);
