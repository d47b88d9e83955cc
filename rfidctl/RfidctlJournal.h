#pragma once

// rfidctl's use of the production journal: the journal its reads and writes go to, and the journal
// command that prints records.

#include "journal/JournalRecorder.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>

// The journal of one command line: the program's own (journal.sqlite in the data folder, [Journal] of
// setting.ini), another file with --journal PATH, another station name with --station NAME.
struct RfidctlJournalOptions {
    std::optional<std::string> journalPath;
    std::optional<std::string> station;
};

// The journal of the command line being run (--journal, --station).
RfidctlJournalOptions& CurrentJournalOptions();

// Exit status of a command that cannot record its card, or a journal that cannot be read.
constexpr int RFIDCTL_JOURNAL_FAILED = 7;

// The settings a command runs with, from the data folder found the same way as the program finds it.
JournalSettings RfidctlJournalSettings(const RfidctlJournalOptions& options);

// A recorder that tells err once when the journal fails, and names rfidctl as the source of its records.
std::unique_ptr<CJournalRecorder> MakeRfidctlRecorder(const RfidctlJournalOptions& options, std::ostream& err);

// What "rfidctl journal" prints.
enum class JournalOutput { Text, Csv, Json };
struct JournalQuery {
    JournalFilter filter;
    JournalOutput output = JournalOutput::Text;
    qint64 limit = 0; // 0: every record
};

// The option values of the journal command, empty when not given.
struct JournalQueryTexts {
    std::string since, until, result, identifier, batch, limit;
    std::optional<std::string> station;
};

// Parses --since, --until (a date alone: up to the end of that day), --result, --identifier (any form of
// an identifier, or a card number alone), --station, --batch and --limit; an error message for a value
// that is none.
std::optional<std::string> ParseJournalQuery(const JournalQueryTexts& texts, JournalQuery* query);

int PrintJournal(const RfidctlJournalOptions& options, const JournalQuery& query, std::ostream& out,
                 std::ostream& err);

// The message of a journal problem, in one line.
std::string JournalProblemText(const JournalStatus& status);
