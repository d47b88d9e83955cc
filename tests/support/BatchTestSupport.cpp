#include "tests/support/BatchTestSupport.h"

#include "batches/BatchSql.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>

#include <tuple>

CBatchStation& CBatchLine::Station(const QString& name) {
    std::unique_ptr<CBatchStation>& station = m_stations[name];
    if (!station) {
        station = std::make_unique<CBatchStation>(m_database.Open(QStringLiteral("station ") + name), name);
        station->Start();
    }
    return *station;
}

bool CBatchLine::Good(const QString& station, const QString& batch, int count) {
    for (int i = 0; i < count; ++i) {
        const BatchOutcome claimed = Station(station).Claim(batch);
        if (claimed.status != BatchStatus::Ok ||
            Station(station).RecordGood(*claimed.claim, true).status != BatchStatus::Ok)
            return false;
    }
    return true;
}

bool CBatchLine::ThrowAway(const QString& station, const QString& batch) {
    const BatchOutcome claimed = Station(station).Claim(batch);
    return claimed.status == BatchStatus::Ok &&
           Station(station).RecordThrowAway(*claimed.claim).status == BatchStatus::Ok;
}

bool CBatchLine::Hold(const QString& station, const QString& batch) {
    return Station(station).Claim(batch).status == BatchStatus::Ok;
}

void CBatchLine::StopStation(const QString& name) {
    Station(name).Stop();
}

bool CBatchLine::MoveBack(QSqlDatabase& db, const QString& batch, int seconds) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QSqlQuery claims(db);
    claims.prepare(QStringLiteral("SELECT idx, done_at, claimed_at FROM batch_claim WHERE batch_name = ? AND done_at IS NOT NULL"));
    claims.addBindValue(batch);
    if (!claims.exec())
        return false;
    const auto back = [seconds](const QVariant& text) {
        return BatchTimeText(QDateTime::fromString(text.toString(), Qt::ISODateWithMs).addSecs(-seconds));
    };
    std::vector<std::tuple<qint64, QString, QString>> moved;
    while (claims.next())
        moved.push_back({claims.value(0).toLongLong(), back(claims.value(1)), back(claims.value(2))});
    for (const auto& [index, done, claimed] : moved) {
        QSqlQuery update(db);
        update.prepare(QStringLiteral("UPDATE batch_claim SET done_at = ?, claimed_at = ? WHERE batch_name = ? AND idx = ?"));
        update.addBindValue(done);
        update.addBindValue(claimed);
        update.addBindValue(batch);
        update.addBindValue(index);
        if (!update.exec())
            return false;
    }
    QSqlQuery discards(db);
    discards.prepare(QStringLiteral("UPDATE batch_discard SET discarded_at = ? WHERE batch_name = ?"));
    discards.addBindValue(BatchTimeText(now.addSecs(-seconds)));
    discards.addBindValue(batch);
    return discards.exec();
}

QString PdfText(const QString& path) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(60000) || pdftotext.exitCode() != 0)
        return QString();
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

std::vector<std::uint64_t> IdentifiersIn(const QString& text) {
    std::vector<std::uint64_t> identifiers;
    static const QRegularExpression thirteen(QStringLiteral("\\b\\d{13}\\b"));
    for (const QRegularExpressionMatch& match : thirteen.globalMatch(text))
        identifiers.push_back(match.captured().toULongLong());
    return identifiers;
}

std::vector<std::uint64_t> GoodNumbers(QSqlDatabase& db, const QString& batch) {
    std::vector<std::uint64_t> good;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT identifier FROM batch_claim WHERE batch_name = ? AND state IN (?, ?) ORDER BY idx"));
    query.addBindValue(batch);
    query.addBindValue(QString(CLAIM_WRITTEN));
    query.addBindValue(QString(CLAIM_VERIFIED));
    if (query.exec()) {
        while (query.next())
            good.push_back(std::uint64_t(query.value(0).toLongLong()));
    }
    return good;
}
