#include "batches/BatchStatus.h"

#include "batches/BatchSql.h"
#include "batches/BatchStation.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>
#include <map>

namespace {

struct RecentCards {
    std::int64_t cards = 0;
    QString first; // the first good card within the window
};

bool Fail(QString* error, const QSqlQuery& query) {
    if (error)
        *error = query.lastError().text().trimmed();
    return false;
}

QDateTime FromText(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

// A batch as its figures need it: its row, and the index just above the numbers given out so far.
struct BatchRow {
    BatchInfo info;
    std::int64_t given = 0; // the numbers made ahead and still free sit above every number given out
};

// The batches with the counts that are not read from every claim (a batch of a million numbers is
// counted in a few index look-ups): numbers are made ahead as claim rows (next_index counts them), and
// the claims held, the free rows (made ahead or released) and the cards to throw away are few; every
// other number made is on a good card. One statement for every batch, so that a server answers with
// one round trip.
std::vector<BatchRow> ReadBatchRows(QSqlDatabase& db, const QString& name, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT name, vendor, kind, first_card, last_card, random_order, total, created_at,"
                                 " next_index,"
                                 " (SELECT COUNT(*) FROM batch_claim WHERE batch_name = name AND state = ?),"
                                 " (SELECT COUNT(*) FROM batch_claim WHERE batch_name = name AND free_order IS NOT NULL),"
                                 " (SELECT COUNT(*) FROM batch_discard WHERE batch_name = name),"
                                 " (SELECT COUNT(*) FROM batch_claim WHERE batch_name = name AND state = ?)"
                                 " FROM batch%1 ORDER BY created_at, name")
                      .arg(name.isEmpty() ? QString() : QStringLiteral(" WHERE name = ?")));
    query.addBindValue(QString(CLAIM_CLAIMED));
    query.addBindValue(QString(CLAIM_LEFT));
    if (!name.isEmpty())
        query.addBindValue(name);
    std::vector<BatchRow> rows;
    if (!query.exec()) {
        Fail(error, query);
        return rows;
    }
    while (query.next()) {
        BatchRow row;
        BatchInfo& info = row.info;
        info.name = query.value(0).toString();
        if (!query.value(1).isNull())
            info.vendor = query.value(1).toInt();
        info.isList = query.value(2).toString() == QLatin1String("list");
        info.first = std::uint32_t(query.value(3).toLongLong());
        info.last = std::uint32_t(query.value(4).toLongLong());
        info.order = query.value(5).toInt() ? BatchOrder::Random : BatchOrder::InOrder;
        info.counts.total = query.value(6).toLongLong();
        info.createdAt = query.value(7).toString();
        const std::int64_t made = query.value(8).toLongLong();
        BatchCounts& counts = info.counts;
        counts.claimed = query.value(9).toLongLong();
        const std::int64_t free = query.value(10).toLongLong();
        counts.throwAway = query.value(11).toLongLong();
        row.given = made - query.value(12).toLongLong();
        // The good cards are counted in counts.written: the figures do not tell written from verified.
        counts.written = std::max<std::int64_t>(0, made - counts.claimed - free);
        counts.left = counts.total - counts.claimed - counts.written;
        rows.push_back(row);
    }
    return rows;
}

// The statements of the figures, prepared once for every batch of a refresh: on a server each statement
// prepared again would cost round trips of its own.
struct FigureQueries {
    explicit FigureQueries(QSqlDatabase& db) : claimedAt(db), count(db) {}
    bool Prepare(QString* error) {
        if (claimedAt.prepare(QStringLiteral("SELECT claimed_at FROM batch_claim WHERE batch_name = ? AND idx = ?")) &&
            count.prepare(QStringLiteral("SELECT COUNT(*), MIN(done_at) FROM batch_claim WHERE batch_name = ? AND idx >= ?"
                                         " AND state IN (?, ?) AND done_at >= ?")))
            return true;
        for (const QSqlQuery* query : {&claimedAt, &count}) {
            if (query->lastError().isValid())
                return Fail(error, *query);
        }
        return false;
    }
    QSqlQuery claimedAt, count;
};

// Good cards within the rate window. Numbers are given out in the order of their index, so the claims
// of the window are the newest indexes: stepping back from the newest, a few at first and four times as
// many each step, until a claim taken before the window is found, bounds them with a handful of look-ups,
// and the database counts that range itself. An idle batch costs two small look-ups, however large it is.
// (A number taken again after a release keeps its old index and is not counted: the rate is a little low
// just after a release.)
bool ReadRecentCards(FigureQueries& queries, const BatchRow& row, const QDateTime& now, RecentCards* recent,
                     QString* error) {
    const QString since = BatchTimeText(now.addSecs(-BATCH_RATE_WINDOW_SECONDS));
    QSqlQuery& claimedAt = queries.claimedAt;
    qint64 from = row.given;
    for (qint64 step = 16; from > 0; step *= 4) {
        from = std::max<qint64>(0, row.given - step);
        claimedAt.bindValue(0, row.info.name);
        claimedAt.bindValue(1, from);
        if (!claimedAt.exec())
            return Fail(error, claimedAt);
        const bool before = claimedAt.next() && claimedAt.value(0).toString() < since;
        claimedAt.finish();
        if (before)
            break;
    }
    QSqlQuery& count = queries.count;
    count.bindValue(0, row.info.name);
    count.bindValue(1, from);
    count.bindValue(2, QString(CLAIM_WRITTEN));
    count.bindValue(3, QString(CLAIM_VERIFIED));
    count.bindValue(4, since);
    if (!count.exec() || !count.next())
        return Fail(error, count);
    recent->cards = count.value(0).toLongLong();
    recent->first = count.value(1).toString();
    count.finish();
    return true;
}

BatchFigures Figures(const BatchInfo& info, const RecentCards& recent, const QDateTime& now) {
    BatchFigures figures;
    figures.info = info;
    const BatchCounts& counts = info.counts;
    if (recent.cards > 0) {
        // Over the whole window, or since the first card in it when the line started within the window:
        // a line that started two minutes ago is not taken for one five times slower.
        const QDateTime first = FromText(recent.first);
        const qint64 span = first.isValid() ? std::clamp<qint64>(first.secsTo(now), 60, BATCH_RATE_WINDOW_SECONDS)
                                            : BATCH_RATE_WINDOW_SECONDS;
        figures.cardsPerMinute = double(recent.cards) * 60.0 / double(span);
    }
    const std::int64_t remaining = counts.total - counts.Done();
    if (remaining <= 0) {
        figures.state = BatchState::Finished;
        figures.secondsToFinish = 0;
        return figures;
    }
    if (figures.cardsPerMinute > 0) {
        figures.state = BatchState::Running;
        figures.secondsToFinish = std::int64_t(std::ceil(double(remaining) * 60.0 / figures.cardsPerMinute));
    } else {
        const bool untouched = counts.Done() == 0 && counts.claimed == 0 && counts.throwAway == 0 &&
                               counts.left == counts.total;
        figures.state = untouched ? BatchState::NotStarted : BatchState::Paused;
    }
    return figures;
}

// Every batch, or the one named, with its figures; empty with *error set on failure.
std::vector<BatchFigures> ReadFigures(QSqlDatabase& db, const QString& name, const QDateTime& now, QString* error) {
    QString failure;
    std::vector<BatchRow> rows = ReadBatchRows(db, name, &failure);
    std::vector<BatchFigures> figures;
    FigureQueries queries(db);
    if (!rows.empty() && !queries.Prepare(&failure) && failure.isEmpty())
        failure = QStringLiteral("the figures' statements cannot be prepared");
    for (BatchRow& row : rows) {
        RecentCards recent;
        if (!failure.isEmpty() || !ReadRecentCards(queries, row, now, &recent, &failure))
            break;
        figures.push_back(Figures(row.info, recent, now));
    }
    if (failure.isEmpty())
        return figures;
    if (error)
        *error = failure;
    return {};
}

struct StationSession {
    QString host, seenAt;
};

std::optional<StationSession> ReadSession(QSqlDatabase& db, const QString& station, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT host, seen_at FROM station_session WHERE name = ?"));
    query.addBindValue(station);
    if (!query.exec()) {
        Fail(error, query);
        return std::nullopt;
    }
    StationSession session;
    if (query.next())
        session = {query.value(0).toString(), query.value(1).toString()};
    return session;
}

} // namespace

int BatchFigures::Percent() const {
    if (info.counts.total <= 0)
        return 0;
    return int(std::clamp<std::int64_t>(Good() * 100 / info.counts.total, 0, 100));
}

std::vector<BatchFigures> ReadAllBatchFigures(QSqlDatabase& db, const QDateTime& now, QString* error) {
    return ReadFigures(db, QString(), now, error);
}

std::optional<BatchFigures> ReadBatchFigures(QSqlDatabase& db, const QString& name, const QDateTime& now,
                                             QString* error) {
    std::vector<BatchFigures> figures = ReadFigures(db, name, now, error);
    if (figures.empty()) {
        if (error && error->isEmpty())
            *error = QStringLiteral("there is no batch named \"%1\"").arg(name);
        return std::nullopt;
    }
    return figures.front();
}

std::vector<StationFigures> ReadStationFigures(QSqlDatabase& db, const QString& batch, const QDateTime& now,
                                               QString* error) {
    std::map<QString, StationFigures> stations;
    std::map<QString, QString> lastCard;
    QSqlQuery claims(db);
    claims.prepare(QStringLiteral("SELECT station, state, COUNT(*), MAX(done_at) FROM batch_claim"
                                  " WHERE batch_name = ? AND station IS NOT NULL GROUP BY station, state"));
    claims.addBindValue(batch);
    if (!claims.exec()) {
        Fail(error, claims);
        return {};
    }
    while (claims.next()) {
        const QString name = claims.value(0).toString();
        const QString state = claims.value(1).toString();
        StationFigures& station = stations[name];
        if (state == QLatin1String(CLAIM_CLAIMED))
            station.claimed += claims.value(2).toLongLong();
        else if (state == QLatin1String(CLAIM_WRITTEN) || state == QLatin1String(CLAIM_VERIFIED))
            station.cards += claims.value(2).toLongLong();
        lastCard[name] = std::max(lastCard[name], claims.value(3).toString());
    }
    QSqlQuery discards(db);
    discards.prepare(QStringLiteral("SELECT station, COUNT(*), MAX(discarded_at) FROM batch_discard"
                                    " WHERE batch_name = ? GROUP BY station"));
    discards.addBindValue(batch);
    if (!discards.exec()) {
        Fail(error, discards);
        return {};
    }
    while (discards.next()) {
        const QString name = discards.value(0).toString();
        stations[name].failures = discards.value(1).toLongLong();
        lastCard[name] = std::max(lastCard[name], discards.value(2).toString());
    }
    std::vector<StationFigures> figures;
    for (auto& [name, station] : stations) {
        station.name = name;
        const std::optional<StationSession> session = ReadSession(db, name, error);
        if (!session)
            return {};
        station.host = session->host;
        station.lastSeen = session->seenAt;
        QString lookUpError;
        const bool live = StationIsLive(db, name, nullptr, &lookUpError);
        if (!lookUpError.isEmpty()) {
            if (error)
                *error = lookUpError;
            return {};
        }
        const QDateTime last = FromText(lastCard[name]);
        if (!live)
            station.activity = StationActivity::Away;
        else if (last.isValid() && last.secsTo(now) <= STATION_IDLE_SECONDS)
            station.activity = StationActivity::Working;
        else
            station.activity = StationActivity::Idle;
        figures.push_back(station);
    }
    return figures;
}

std::vector<StationRate> ReadStationRates(QSqlDatabase& db, const QString& batch, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT station, SUBSTR(done_at, 1, 16), COUNT(*) FROM batch_claim"
                                 " WHERE batch_name = ? AND state IN (?, ?) AND station IS NOT NULL"
                                 " GROUP BY station, SUBSTR(done_at, 1, 16) ORDER BY 1, 2"));
    query.addBindValue(batch);
    query.addBindValue(QString(CLAIM_WRITTEN));
    query.addBindValue(QString(CLAIM_VERIFIED));
    std::vector<StationRate> rates;
    if (!query.exec()) {
        Fail(error, query);
        return rates;
    }
    while (query.next()) {
        const QString station = query.value(0).toString();
        if (rates.empty() || rates.back().station != station)
            rates.push_back({station, {}});
        QDateTime minute = QDateTime::fromString(query.value(1).toString(), QStringLiteral("yyyy-MM-ddTHH:mm"));
        minute.setTimeSpec(Qt::UTC);
        if (minute.isValid())
            rates.back().minutes.push_back({minute, query.value(2).toInt()});
    }
    return rates;
}

QString BatchStateText(BatchState state) {
    switch (state) {
    case BatchState::NotStarted:
        return QStringLiteral("not started");
    case BatchState::Running:
        return QStringLiteral("running");
    case BatchState::Paused:
        return QStringLiteral("paused");
    case BatchState::Finished:
        return QStringLiteral("finished");
    }
    return QString();
}

QString StationActivityText(StationActivity activity) {
    switch (activity) {
    case StationActivity::Working:
        return QStringLiteral("working");
    case StationActivity::Idle:
        return QStringLiteral("idle");
    case StationActivity::Away:
        return QStringLiteral("away");
    }
    return QString();
}

QString DurationText(std::optional<std::int64_t> seconds) {
    if (!seconds || *seconds < 0)
        return QStringLiteral("-");
    const std::int64_t s = *seconds;
    if (s >= 3600)
        return QStringLiteral("%1 h %2 min").arg(s / 3600).arg((s % 3600) / 60, 2, 10, QChar('0'));
    if (s >= 60)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
    return QStringLiteral("%1 s").arg(s);
}

std::optional<DeliveryContents> ReadDeliveryContents(QSqlDatabase& db, const QString& batch, QString* error) {
    DeliveryContents contents;
    std::optional<BatchInfo> info = FindBatch(db, batch, error);
    if (!info)
        return std::nullopt;
    contents.info = *info;
    QSqlQuery good(db);
    good.setForwardOnly(true);
    good.prepare(QStringLiteral("SELECT identifier, done_at FROM batch_claim WHERE batch_name = ? AND state IN (?, ?)"
                                " ORDER BY idx"));
    good.addBindValue(batch);
    good.addBindValue(QString(CLAIM_WRITTEN));
    good.addBindValue(QString(CLAIM_VERIFIED));
    if (!good.exec()) {
        Fail(error, good);
        return std::nullopt;
    }
    contents.good.reserve(std::size_t(info->counts.Done()));
    while (good.next()) {
        contents.good.push_back(std::uint64_t(good.value(0).toLongLong()));
        const QString done = good.value(1).toString();
        if (contents.firstCard.isEmpty() || done < contents.firstCard)
            contents.firstCard = done;
        contents.lastCard = std::max(contents.lastCard, done);
    }
    QString stationError;
    for (const StationFigures& station : ReadStationFigures(db, batch, QDateTime::currentDateTimeUtc(), &stationError))
        contents.stations.push_back({station.name, station.cards});
    if (!stationError.isEmpty()) {
        if (error)
            *error = stationError;
        return std::nullopt;
    }
    return contents;
}

QString BatchOrderText(const BatchInfo& info) {
    if (info.isList)
        return QStringLiteral("list of %1 identifiers").arg(info.counts.total);
    const int vendor = info.vendor.value_or(0);
    return QStringLiteral("range %1:%2 to %1:%3, %4")
        .arg(vendor)
        .arg(info.first)
        .arg(info.last)
        .arg(info.order == BatchOrder::Random ? QStringLiteral("at random") : QStringLiteral("in order"));
}

bool IsPermissionRefusal(const QString& error) {
    return error.contains(QLatin1String("permission denied"), Qt::CaseInsensitive);
}
