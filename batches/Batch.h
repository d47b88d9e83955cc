#pragma once

// Batches: the numbers a customer ordered, held by the journal's database, from which stations claim
// one number at a time so that no number is written twice and none is left out.
//
// A batch is a range of card numbers under one vendor ID, taken in order or in a random order without
// repeats, or a list of identifiers imported from a file. Each number is left, claimed by one station,
// or done (written, or written and verified); cards that failed their verification are kept as cards to
// throw away, and their number stays claimed for the station's next card.
//
// Every statement binds its values; the same SQL runs on SQLite and on PostgreSQL.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The schema of the batches: the journal's schema step to version 2.
QStringList BatchSchemaStatements();

// The schema step that lets stations claim without waiting on each other: a batch's numbers are made
// as rows ahead of the claims, a block at a time (the batch's next_index then counts the rows made),
// and each free row carries its place in the claim order. Claims made before this step keep their rows
// and states; released ones get their place in the order.
QStringList BatchClaimQueueStatements();

// Batch names: 1 to 128 characters, no control characters (anything else, quotes included, is fine).
bool IsValidBatchName(const QString& name, QString* error);

enum class BatchOrder { InOrder, Random };

struct BatchRange {
    int vendor = 0;               // 0..255
    std::uint32_t first = 0;      // card numbers, first <= last
    std::uint32_t last = 0;
    BatchOrder order = BatchOrder::InOrder;
};

// One problem of an imported list: its line number (from 1), the line as it was, and what is wrong.
struct ListLineError {
    int line = 0;
    QString text;
    QString problem;
};

struct ParsedList {
    std::vector<std::uint64_t> identifiers;
    std::vector<ListLineError> errors; // when not empty, nothing may be imported
};

// Reads a list file: one identifier a line, as 13 decimal digits or "vendor:card"; blank lines are
// skipped; a repeated identifier is an error of the line that repeats it.
ParsedList ParseIdentifierList(const QByteArray& bytes);
constexpr int MAX_LIST_LINES = 1000000;

bool CreateRangeBatch(QSqlDatabase& db, const QString& name, const BatchRange& range, QString* error);
bool CreateListBatch(QSqlDatabase& db, const QString& name, const std::vector<std::uint64_t>& identifiers,
                     QString* error);

struct BatchCounts {
    std::int64_t total = 0;
    std::int64_t claimed = 0;   // claimed by a station, not yet on a good card
    std::int64_t written = 0;   // on a good card, Verify off
    std::int64_t verified = 0;  // on a good card, read back and verified
    std::int64_t throwAway = 0; // cards written but failed their verification
    std::int64_t left = 0;      // neither claimed nor done
    std::int64_t Done() const { return written + verified; }
};

struct BatchInfo {
    QString name;
    std::optional<int> vendor; // a list of several vendors has none
    bool isList = false;
    std::uint32_t first = 0, last = 0;
    BatchOrder order = BatchOrder::InOrder;
    QString createdAt;
    BatchCounts counts;
};

std::optional<BatchInfo> FindBatch(QSqlDatabase& db, const QString& name, QString* error);
std::vector<BatchInfo> ListBatches(QSqlDatabase& db, QString* error);

// One number of the report, or one card to throw away.
struct BatchReportLine {
    std::uint64_t identifier = 0;
    QString state;   // claimed, written, verified, released, throw-away
    QString station;
    QString time;    // when it was claimed, done or thrown away
};

// A good card of a batch was written with another number: its identifier goes back to its batch
// (released, so the next claim of any station takes it and it is written again). Where several batches
// had it on a good card, the latest. *batch is the batch it went back to, empty when it was in none.
// Runs inside the caller's transaction.
bool ReturnNumberToBatch(QSqlDatabase& db, std::uint64_t identifier, QString* batch, QString* error);

// Every claimed or done number in batch order, then the cards to throw away.
std::vector<BatchReportLine> BatchReport(QSqlDatabase& db, const QString& name, QString* error);

// The identifier at position index of a range batch's order (0 <= index <= last - first): in order,
// first + index; random, a fixed permutation of the range chosen by seed.
std::uint64_t RangeIdentifier(const BatchRange& range, std::uint64_t seed, std::uint64_t index);

// A permutation of 0..count-1 (a keyed Feistel network with cycle walking), so that a random order needs
// no table of the whole range.
std::uint64_t PermuteIndex(std::uint64_t index, std::uint64_t count, std::uint64_t seed);
