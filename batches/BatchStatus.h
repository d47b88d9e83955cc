#pragma once

// The figures of batches as a supervisor watches them: how far each batch is, how fast the line fills
// it and when it will be finished, and what each of its stations is doing. The Batches window and
// `rfidctl batch status` show the same figures, read through these functions only.
//
// Times are the batch tables' UTC texts; `now` is passed in so that a window's tick and a test see one
// moment for every figure.

#include "batches/Batch.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// The span over which the rate of a batch is measured.
constexpr int BATCH_RATE_WINDOW_SECONDS = 600;
// A running station that finished no card for this long is idle.
constexpr int STATION_IDLE_SECONDS = 60;

enum class BatchState {
    NotStarted, // no number taken yet
    Running,    // a card was finished within the rate window
    Paused,     // numbers taken, none finished lately
    Finished,   // every number on a good card
};

struct BatchFigures {
    BatchInfo info;
    double cardsPerMinute = 0;                 // good cards over the last BATCH_RATE_WINDOW_SECONDS
    std::optional<std::int64_t> secondsToFinish; // none while nothing is being finished
    BatchState state = BatchState::NotStarted;

    std::int64_t Good() const { return info.counts.Done(); }
    // Good cards of the total, 0..100.
    int Percent() const;
};

enum class StationActivity { Working, Idle, Away };

struct StationFigures {
    QString name;
    QString host;     // empty when the station never ran under its name
    QString lastSeen; // UTC text, empty as host
    std::int64_t cards = 0;    // good cards of the batch
    std::int64_t failures = 0; // cards to throw away of the batch
    std::int64_t claimed = 0;  // numbers it holds now
    StationActivity activity = StationActivity::Away;
};

// Good cards of one station in one minute of the batch's life.
struct StationMinute {
    QDateTime minute; // UTC, seconds zero
    int cards = 0;
};

struct StationRate {
    QString station;
    std::vector<StationMinute> minutes; // in time order, minutes without a card left out
};

// Every batch with its figures, in the order of ListBatches. Empty with *error set on failure.
std::vector<BatchFigures> ReadAllBatchFigures(QSqlDatabase& db, const QDateTime& now, QString* error);
std::optional<BatchFigures> ReadBatchFigures(QSqlDatabase& db, const QString& name, const QDateTime& now,
                                             QString* error);

// The stations that took numbers of a batch, by name. *error is set on failure.
std::vector<StationFigures> ReadStationFigures(QSqlDatabase& db, const QString& batch, const QDateTime& now,
                                               QString* error);

// Cards per minute per station over the batch's life, by station name.
std::vector<StationRate> ReadStationRates(QSqlDatabase& db, const QString& batch, QString* error);

// Words for the figures (English; the window translates its own).
QString BatchStateText(BatchState state);
QString StationActivityText(StationActivity activity);
// "1 h 05 min", "4 min 10 s", "12 s"; "-" for none.
QString DurationText(std::optional<std::int64_t> seconds);

// What the delivery report of a batch holds: the order, its counts, the first and last good card's time,
// the stations with their good cards, and every number on a good card in the batch's order.
struct DeliveryContents {
    BatchInfo info;
    QString firstCard, lastCard; // UTC texts, empty while no card is good
    std::vector<std::pair<QString, std::int64_t>> stations;
    std::vector<std::uint64_t> good;
};
std::optional<DeliveryContents> ReadDeliveryContents(QSqlDatabase& db, const QString& batch, QString* error);

// The order in words: "range 18:1000 to 18:1999, in order" or "list of 250 identifiers".
QString BatchOrderText(const BatchInfo& info);

// Whether the database refused a change because the login's role may not make it (a supervisor's
// read-only role making a batch, say): the caller says so plainly.
bool IsPermissionRefusal(const QString& error);
