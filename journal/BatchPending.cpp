#include "journal/BatchPending.h"

#include "reader/CardFrame.h"
#include "reader/CardIdentifier.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

constexpr qint64 kMaxFileBytes = 64 * 1024;

const char* ResultName(BatchCardResult result) {
    switch (result) {
    case BatchCardResult::Verified:
        return "verified";
    case BatchCardResult::VerifyFailed:
        return "verify-failed";
    default:
        return "written";
    }
}

std::optional<BatchCardResult> ResultNamed(const QString& name) {
    for (BatchCardResult result :
         {BatchCardResult::Written, BatchCardResult::Verified, BatchCardResult::VerifyFailed})
        if (name == QLatin1String(ResultName(result)))
            return result;
    return std::nullopt;
}

// The event the file's object describes, or what is wrong with it.
std::optional<BatchCardEvent> EventOf(const QJsonObject& object, const QString& station, QString* problem) {
    if (object.value("station").toString() != station) {
        *problem = QStringLiteral("it belongs to another station");
        return std::nullopt;
    }
    const QString identifier = object.value("identifier").toString();
    const std::optional<BatchCardResult> result = ResultNamed(object.value("result").toString());
    const double index = object.value("index").toDouble(-1);
    const QString batch = object.value("batch").toString();
    const FieldNumber number = ParseFieldNumber(identifier, MAX_IDENTIFIER);
    BatchCardEvent event;
    event.claim.identifier = number.value;
    if (!number.IsValid() || identifier.size() != 13 || !result || index < 0 ||
        index != double(qint64(index)) || batch.isEmpty() || !object.value("verifyRequested").isBool()) {
        *problem = QStringLiteral("its contents are not a card's result");
        return std::nullopt;
    }
    event.claim.batch = batch;
    event.claim.index = qint64(index);
    event.result = *result;
    event.verifyRequested = object.value("verifyRequested").toBool();
    event.readBack = object.value("readBack").toString();
    const QString overwritten = object.value("overwritten").toString();
    if (!overwritten.isEmpty()) {
        const FieldNumber held = ParseFieldNumber(overwritten, MAX_IDENTIFIER);
        if (!held.IsValid()) {
            *problem = QStringLiteral("its contents are not a card's result");
            return std::nullopt;
        }
        event.overwritten = held.value;
    }
    return event;
}

QString PutAside(const QString& path, const QString& why) {
    const QString aside = path + QStringLiteral(".damaged");
    QFile::remove(aside);
    const bool moved = QFile::rename(path, aside);
    return QStringLiteral("the waiting card result in %1 cannot be used (%2)%3; that card is not recorded")
        .arg(QDir::toNativeSeparators(path), why,
             moved ? QStringLiteral(", the file is kept as %1").arg(QDir::toNativeSeparators(aside))
                   : QStringLiteral(" and cannot be moved aside"));
}

} // namespace

QString PendingResultPath(const QString& folder, const QString& station, const QString& connection) {
    const QByteArray key = (station + u'\n' + connection).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return QDir(folder).filePath(QStringLiteral("batch-pending-%1.json").arg(QString::fromLatin1(hash)));
}

bool SavePendingResult(const QString& path, const QString& station, const BatchCardEvent& event, QString* error) {
    const QJsonObject object{{"station", station},
                             {"batch", event.claim.batch},
                             {"index", double(event.claim.index)},
                             {"identifier", CardIdText(event.claim.identifier)},
                             {"result", ResultName(event.result)},
                             {"verifyRequested", event.verifyRequested},
                             {"readBack", event.readBack},
                             {"overwritten", event.overwritten ? CardIdText(*event.overwritten) : QString()}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0 || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

PendingResultFile LoadPendingResult(const QString& path, const QString& station) {
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("the waiting card result in %1 cannot be read (%2)")
                                  .arg(QDir::toNativeSeparators(path), file.errorString())};
    if (file.size() > kMaxFileBytes)
        return {std::nullopt, PutAside(path, QStringLiteral("it is too large"))};
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parsed);
    file.close();
    QString problem = QStringLiteral("it is not valid JSON");
    if (parsed.error == QJsonParseError::NoError && document.isObject())
        if (std::optional<BatchCardEvent> event = EventOf(document.object(), station, &problem))
            return {event, QString()};
    return {std::nullopt, PutAside(path, problem)};
}

bool RemovePendingResult(const QString& path, QString* error) {
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
}
