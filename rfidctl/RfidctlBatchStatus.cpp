#include "rfidctl/RfidctlBatchStatus.h"

#include "batches/BatchSql.h"
#include "platform/System.h"
#include "rfidctl/ArgumentText.h"
#include "rfidctl/Rfidctl.h"
#include "rfidctl/RfidctlBatch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <iostream>

namespace {

constexpr int kBarWidth = 20;

QString Rate(double cardsPerMinute) {
    return QString::number(cardsPerMinute, 'f', 1);
}

// The counts and state: what makes a change worth a line of --watch.
std::string CountsKey(const BatchFigures& figures) {
    const BatchCounts& c = figures.info.counts;
    return QStringLiteral("%1/%2/%3/%4/%5/%6")
        .arg(c.Done())
        .arg(c.claimed)
        .arg(c.throwAway)
        .arg(c.left)
        .arg(c.total)
        .arg(int(figures.state))
        .toStdString();
}

std::string ProgressBar(const BatchFigures& figures) {
    const int filled = figures.Percent() * kBarWidth / 100;
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] ";
}

int BadArgument(std::ostream& err, const std::string& message) {
    err << "rfidctl: " << message << " (see rfidctl --help)\n";
    return RFIDCTL_USAGE;
}

int Fail(std::ostream& err, const QString& message) {
    err << "rfidctl: " << message.toStdString() << "\n";
    return RFIDCTL_JOURNAL_FAILED;
}

// The figures of every batch, or of the named one; false with the failure said.
bool ReadFigures(QSqlDatabase& db, const QString& name, std::vector<BatchFigures>* figures, std::ostream& err) {
    QString error;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (name.isEmpty()) {
        *figures = ReadAllBatchFigures(db, now, &error);
    } else if (std::optional<BatchFigures> one = ReadBatchFigures(db, name, now, &error)) {
        *figures = {*one};
    } else {
        figures->clear();
    }
    if (error.isEmpty())
        return true;
    Fail(err, QStringLiteral("reading the batches failed (%1)").arg(error));
    return false;
}

int PrintStatus(QSqlDatabase& db, const QString& name, bool json, std::ostream& out, std::ostream& err) {
    std::vector<BatchFigures> batches;
    if (!ReadFigures(db, name, &batches, err))
        return RFIDCTL_JOURNAL_FAILED;
    std::vector<std::vector<StationFigures>> stations;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const BatchFigures& batch : batches) {
        QString error;
        stations.push_back(ReadStationFigures(db, batch.info.name, now, &error));
        if (!error.isEmpty())
            return Fail(err, QStringLiteral("reading the stations failed (%1)").arg(error));
    }
    if (json) {
        out << BatchStatusJson(batches, stations);
        return RFIDCTL_OK;
    }
    for (std::size_t i = 0; i < batches.size(); ++i) {
        out << BatchStatusLine(batches[i]) << "\n";
        if (!name.isEmpty()) {
            for (const StationFigures& station : stations[i])
                out << "  " << StationStatusLine(station) << "\n";
        }
    }
    return RFIDCTL_OK;
}

[[noreturn]] void Watch(QSqlDatabase& db, const QString& name, std::ostream& out, std::ostream& err) {
    CBatchStatusWatch watch(&out == &std::cout && StandardOutputIsTerminal());
    for (;;) {
        std::vector<BatchFigures> batches;
        if (ReadFigures(db, name, &batches, err))
            out << watch.Round(batches, BatchTimeNow()) << std::flush;
        QThread::msleep(BATCH_WATCH_INTERVAL_MS);
    }
}

} // namespace

std::string BatchStatusLine(const BatchFigures& figures) {
    const BatchCounts& c = figures.info.counts;
    return QStringLiteral("%1\t%2 of %3 good (%4%)\t%5 claimed\t%6 to throw away\t%7 left\t%8 cards/min"
                          "\ttime to finish %9\t%10")
        .arg(figures.info.name)
        .arg(c.Done())
        .arg(c.total)
        .arg(figures.Percent())
        .arg(c.claimed)
        .arg(c.throwAway)
        .arg(c.left)
        .arg(Rate(figures.cardsPerMinute), DurationText(figures.secondsToFinish), BatchStateText(figures.state))
        .toStdString();
}

std::string StationStatusLine(const StationFigures& station) {
    return QStringLiteral("station %1\ton %2\tlast seen %3\t%4 cards\t%5 failures\t%6")
        .arg(PlainArgumentText(station.name.toStdString()).c_str(),
             station.host.isEmpty() ? QStringLiteral("-") : station.host,
             station.lastSeen.isEmpty() ? QStringLiteral("-") : station.lastSeen)
        .arg(station.cards)
        .arg(station.failures)
        .arg(StationActivityText(station.activity))
        .toStdString();
}

std::string BatchStatusJson(const std::vector<BatchFigures>& batches,
                            const std::vector<std::vector<StationFigures>>& stations) {
    QJsonArray array;
    for (std::size_t i = 0; i < batches.size(); ++i) {
        const BatchFigures& figures = batches[i];
        const BatchCounts& c = figures.info.counts;
        QJsonArray stationArray;
        for (const StationFigures& station : i < stations.size() ? stations[i] : std::vector<StationFigures>{})
            stationArray.append(QJsonObject{{"name", station.name},
                                            {"host", station.host},
                                            {"last_seen", station.lastSeen},
                                            {"cards", qint64(station.cards)},
                                            {"failures", qint64(station.failures)},
                                            {"claimed", qint64(station.claimed)},
                                            {"activity", StationActivityText(station.activity)}});
        array.append(QJsonObject{
            {"name", figures.info.name},
            {"total", qint64(c.total)},
            {"good", qint64(c.Done())},
            {"claimed", qint64(c.claimed)},
            {"throw_away", qint64(c.throwAway)},
            {"left", qint64(c.left)},
            {"cards_per_minute", figures.cardsPerMinute},
            {"seconds_to_finish", figures.secondsToFinish ? QJsonValue(qint64(*figures.secondsToFinish)) : QJsonValue()},
            {"state", BatchStateText(figures.state)},
            {"stations", stationArray}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
}

std::string CBatchStatusWatch::Round(const std::vector<BatchFigures>& batches, const QString& time) {
    std::string text;
    if (m_bTerminal) {
        // Up over the previous round, each line cleared as it is drawn again.
        if (m_nLinesDrawn > 0)
            text += "\x1b[" + std::to_string(m_nLinesDrawn) + "A";
        for (const BatchFigures& figures : batches)
            text += "\r\x1b[2K" + ProgressBar(figures) + BatchStatusLine(figures) + "\n";
        for (int extra = int(batches.size()); extra < m_nLinesDrawn; ++extra)
            text += "\r\x1b[2K\n";
        m_nLinesDrawn = std::max<int>(m_nLinesDrawn, int(batches.size()));
        return text;
    }
    for (const BatchFigures& figures : batches) {
        std::string& last = m_lastCounts[figures.info.name];
        const std::string counts = CountsKey(figures);
        if (counts == last)
            continue;
        last = counts;
        text += time.toStdString() + "\t" + BatchStatusLine(figures) + "\n";
    }
    return text;
}

int BatchStatusCommand(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.values.size() > 1)
        return BadArgument(err, "batch status takes at most one batch name");
    QString name;
    if (arguments.values.size() == 1) {
        if (const auto problem = BatchNameArgument(arguments, "batch status", &name))
            return BadArgument(err, *problem);
    }
    const bool json = Has(arguments, "--json");
    const bool watch = Has(arguments, "--watch");
    if (json && watch)
        return BadArgument(err, "--watch and --json exclude each other");
    CBatchDatabase database;
    if (const int opened = database.Open(true, err))
        return opened;
    if (!name.isEmpty()) {
        if (const int exists = CheckBatchExists(database.Db(), name, true, err))
            return exists;
    }
    if (watch)
        Watch(database.Db(), name, out, err);
    return PrintStatus(database.Db(), name, json, out, err);
}
