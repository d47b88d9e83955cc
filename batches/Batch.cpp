#include "batches/Batch.h"

#include "batches/BatchSql.h"
#include "cards/CardIdentifier.h"
#include "journal/Database.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <unordered_map>

namespace {

constexpr int kMaxNameLength = 128;
constexpr int kRowsPerInsert = 400;
constexpr int kMaxLineChars = 64;

bool Fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

std::uint64_t SplitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// One line of a list: the identifier, or the reason it is none.
std::optional<std::uint64_t> ParseListLine(QStringView line, QString* problem) {
    const ParsedIdentifier parsed = ParseIdentifier(line, ID_THIRTEEN | ID_VENDOR_CARD);
    *problem = parsed.problem;
    return parsed.value;
}

QString Shown(QStringView line) {
    QString text = line.left(kMaxLineChars).toString();
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QChar(0xFFFD);
    }
    return line.size() > kMaxLineChars ? text + QStringLiteral("...") : text;
}

bool InsertItems(QSqlDatabase& db, const QString& name, const std::vector<std::uint64_t>& identifiers,
                 QString* error) {
    for (std::size_t start = 0; start < identifiers.size(); start += kRowsPerInsert) {
        const std::size_t count = std::min<std::size_t>(kRowsPerInsert, identifiers.size() - start);
        QStringList rows;
        for (std::size_t i = 0; i < count; ++i)
            rows << QStringLiteral("(?, ?, ?)");
        QSqlQuery insert(db);
        if (!insert.prepare("INSERT INTO batch_item (batch_name, idx, identifier) VALUES " + rows.join(", ")))
            return Fail(error, insert.lastError().text());
        for (std::size_t i = 0; i < count; ++i) {
            insert.addBindValue(name);
            insert.addBindValue(qint64(start + i));
            insert.addBindValue(qint64(identifiers[start + i]));
        }
        if (!insert.exec())
            return Fail(error, insert.lastError().text());
    }
    return true;
}

bool InsertBatch(QSqlDatabase& db, const QString& name, std::optional<int> vendor, const QString& kind,
                 std::uint64_t first, std::uint64_t last, BatchOrder order, std::uint64_t total,
                 QString* error) {
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO batch (name, vendor, kind, first_card, last_card, random_order, seed, total, next_index,"
        " created_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, 0, ?)"));
    insert.addBindValue(name);
    insert.addBindValue(vendor ? QVariant(*vendor) : QVariant(QMetaType(QMetaType::Int)));
    insert.addBindValue(kind);
    insert.addBindValue(qint64(first));
    insert.addBindValue(qint64(last));
    insert.addBindValue(order == BatchOrder::Random ? 1 : 0);
    insert.addBindValue(qint64(QRandomGenerator::system()->generate64() >> 1));
    insert.addBindValue(qint64(total));
    insert.addBindValue(BatchTimeNow());
    if (insert.exec())
        return true;
    return Fail(error, IsDuplicateKey(insert.lastError()) ? QStringLiteral("a batch named \"%1\" exists already").arg(name)
                                                         : insert.lastError().text().trimmed());
}

bool CommitOrRollBack(QSqlDatabase& db, bool ok, QString* error) {
    if (ok && db.commit())
        return true;
    if (ok)
        Fail(error, db.lastError().text().trimmed());
    db.rollback();
    return false;
}

} // namespace

QStringList BatchSchemaStatements() {
    return {
        QStringLiteral("CREATE TABLE batch ("
                       " name VARCHAR(128) PRIMARY KEY,"
                       " vendor INTEGER,"
                       " kind VARCHAR(8) NOT NULL,"
                       " first_card BIGINT NOT NULL,"
                       " last_card BIGINT NOT NULL,"
                       " random_order INTEGER NOT NULL,"
                       " seed BIGINT NOT NULL,"
                       " total BIGINT NOT NULL,"
                       " next_index BIGINT NOT NULL,"
                       " created_at VARCHAR(24) NOT NULL)"),
        QStringLiteral("CREATE TABLE batch_item ("
                       " batch_name VARCHAR(128) NOT NULL,"
                       " idx BIGINT NOT NULL,"
                       " identifier BIGINT NOT NULL,"
                       " PRIMARY KEY (batch_name, idx))"),
        // One row for every number a station has taken: claimed, written, verified or released.
        QStringLiteral("CREATE TABLE batch_claim ("
                       " batch_name VARCHAR(128) NOT NULL,"
                       " idx BIGINT NOT NULL,"
                       " identifier BIGINT NOT NULL,"
                       " state VARCHAR(12) NOT NULL,"
                       " station VARCHAR(255),"
                       " session VARCHAR(40),"
                       " claimed_at VARCHAR(24) NOT NULL,"
                       " done_at VARCHAR(24),"
                       " PRIMARY KEY (batch_name, idx))"),
        QStringLiteral("CREATE INDEX batch_claim_station ON batch_claim (batch_name, station, state)"),
        QStringLiteral("CREATE INDEX batch_claim_state ON batch_claim (batch_name, state, idx)"),
        QStringLiteral("CREATE TABLE batch_discard ("
                       " batch_name VARCHAR(128) NOT NULL,"
                       " identifier BIGINT NOT NULL,"
                       " station VARCHAR(255) NOT NULL,"
                       " discarded_at VARCHAR(24) NOT NULL)"),
        QStringLiteral("CREATE INDEX batch_discard_batch ON batch_discard (batch_name)"),
        QStringLiteral("CREATE TABLE station_session ("
                       " name VARCHAR(255) PRIMARY KEY,"
                       " token VARCHAR(40),"
                       " host VARCHAR(255) NOT NULL,"
                       " pid BIGINT NOT NULL,"
                       " started_at VARCHAR(24) NOT NULL,"
                       " seen_at VARCHAR(24) NOT NULL)"),
    };
}

QStringList BatchClaimQueueStatements() {
    return {
        QStringLiteral("ALTER TABLE batch_claim ADD COLUMN free_order BIGINT"),
        QStringLiteral("UPDATE batch_claim SET free_order = idx - %1 WHERE state = '%2'")
            .arg(RELEASED_ORDER_OFFSET)
            .arg(QLatin1String(CLAIM_RELEASED)),
        // Only the free rows: the claim reads the first of them and the index stays small.
        QStringLiteral("CREATE INDEX batch_claim_free ON batch_claim (batch_name, free_order)"
                       " WHERE free_order IS NOT NULL"),
    };
}

bool IsValidBatchName(const QString& name, QString* error) {
    if (name.isEmpty() || name.size() > kMaxNameLength)
        return Fail(error, QStringLiteral("a batch name has 1 to %1 characters").arg(kMaxNameLength));
    for (QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return Fail(error, QStringLiteral("a batch name may not hold control characters"));
    }
    return true;
}

ParsedList ParseIdentifierList(const QByteArray& bytes) {
    ParsedList parsed;
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    std::unordered_map<std::uint64_t, int> firstLine;
    int lineNumber = 0;
    for (QStringView raw : QStringView(text).split(u'\n')) {
        ++lineNumber;
        const QStringView line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (lineNumber > MAX_LIST_LINES) {
            parsed.errors.push_back({lineNumber, Shown(line), QStringLiteral("more than %1 lines").arg(MAX_LIST_LINES)});
            break;
        }
        QString problem;
        const std::optional<std::uint64_t> identifier = ParseListLine(line, &problem);
        if (identifier) {
            const auto [it, inserted] = firstLine.emplace(*identifier, lineNumber);
            if (!inserted)
                problem = QStringLiteral("repeats line %1").arg(it->second);
            else
                parsed.identifiers.push_back(*identifier);
        }
        if (!problem.isEmpty())
            parsed.errors.push_back({lineNumber, Shown(line), problem});
    }
    if (parsed.errors.empty() && parsed.identifiers.empty())
        parsed.errors.push_back({0, QString(), QStringLiteral("the file holds no identifier")});
    if (!parsed.errors.empty())
        parsed.identifiers.clear();
    return parsed;
}

bool CreateRangeBatch(QSqlDatabase& db, const QString& name, const BatchRange& range, QString* error) {
    if (!IsValidBatchName(name, error))
        return false;
    if (range.vendor < 0 || range.vendor > 255)
        return Fail(error, QStringLiteral("the vendor ID must be 0 to 255"));
    if (range.first > range.last)
        return Fail(error, QStringLiteral("the first card number is above the last"));
    if (!BeginWrite(db, error))
        return false;
    const bool ok = InsertBatch(db, name, range.vendor, QStringLiteral("range"), range.first, range.last,
                                range.order, std::uint64_t(range.last) - range.first + 1, error);
    return CommitOrRollBack(db, ok, error);
}

bool CreateListBatch(QSqlDatabase& db, const QString& name, const std::vector<std::uint64_t>& identifiers,
                     QString* error) {
    if (!IsValidBatchName(name, error))
        return false;
    if (identifiers.empty())
        return Fail(error, QStringLiteral("the list holds no identifier"));
    std::optional<int> vendor = int(identifiers.front() >> 32);
    for (std::uint64_t identifier : identifiers) {
        if (int(identifier >> 32) != vendor.value_or(-1))
            vendor.reset();
    }
    if (!BeginWrite(db, error))
        return false;
    const bool ok = InsertBatch(db, name, vendor, QStringLiteral("list"), 0, identifiers.size() - 1,
                                BatchOrder::InOrder, identifiers.size(), error) &&
                    InsertItems(db, name, identifiers, error);
    return CommitOrRollBack(db, ok, error);
}

namespace {

bool ReadCounts(QSqlDatabase& db, BatchInfo* info, QString* error) {
    QSqlQuery states(db);
    states.prepare(QStringLiteral("SELECT state, COUNT(*) FROM batch_claim WHERE batch_name = ? GROUP BY state"));
    states.addBindValue(info->name);
    if (!states.exec())
        return Fail(error, states.lastError().text().trimmed());
    BatchCounts& counts = info->counts;
    while (states.next()) {
        const QString state = states.value(0).toString();
        const qint64 count = states.value(1).toLongLong();
        if (state == QLatin1String(CLAIM_CLAIMED))
            counts.claimed = count;
        else if (state == QLatin1String(CLAIM_WRITTEN))
            counts.written = count;
        else if (state == QLatin1String(CLAIM_VERIFIED))
            counts.verified = count;
    }
    QSqlQuery discards(db);
    discards.prepare(QStringLiteral("SELECT COUNT(*) FROM batch_discard WHERE batch_name = ?"));
    discards.addBindValue(info->name);
    if (!discards.exec() || !discards.next())
        return Fail(error, discards.lastError().text().trimmed());
    counts.throwAway = discards.value(0).toLongLong();
    counts.left = counts.total - counts.claimed - counts.written - counts.verified;
    return true;
}

BatchInfo InfoFromRow(const QSqlQuery& row) {
    BatchInfo info;
    info.name = row.value(0).toString();
    if (!row.value(1).isNull())
        info.vendor = row.value(1).toInt();
    info.isList = row.value(2).toString() == QLatin1String("list");
    info.first = std::uint32_t(row.value(3).toLongLong());
    info.last = std::uint32_t(row.value(4).toLongLong());
    info.order = row.value(5).toInt() ? BatchOrder::Random : BatchOrder::InOrder;
    info.counts.total = row.value(6).toLongLong();
    info.createdAt = row.value(7).toString();
    return info;
}

const char kBatchColumns[] = "name, vendor, kind, first_card, last_card, random_order, total, created_at";

} // namespace

std::optional<BatchInfo> FindBatch(QSqlDatabase& db, const QString& name, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT %1 FROM batch WHERE name = ?").arg(kBatchColumns));
    query.addBindValue(name);
    if (!query.exec()) {
        Fail(error, query.lastError().text().trimmed());
        return std::nullopt;
    }
    if (!query.next()) {
        Fail(error, QStringLiteral("there is no batch named \"%1\"").arg(name));
        return std::nullopt;
    }
    BatchInfo info = InfoFromRow(query);
    if (!ReadCounts(db, &info, error))
        return std::nullopt;
    return info;
}

std::vector<BatchInfo> ListBatches(QSqlDatabase& db, QString* error) {
    std::vector<BatchInfo> batches;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1 FROM batch ORDER BY created_at, name").arg(kBatchColumns))) {
        Fail(error, query.lastError().text().trimmed());
        return batches;
    }
    while (query.next())
        batches.push_back(InfoFromRow(query));
    for (BatchInfo& info : batches) {
        if (!ReadCounts(db, &info, error))
            return {};
    }
    return batches;
}

bool ReturnNumberToBatch(QSqlDatabase& db, std::uint64_t identifier, QString* batch, QString* error) {
    batch->clear();
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT batch_name, idx FROM batch_claim WHERE identifier = ? AND state IN (?, ?)"
                                " ORDER BY done_at DESC LIMIT 1"));
    find.addBindValue(qint64(identifier));
    find.addBindValue(QString(CLAIM_WRITTEN));
    find.addBindValue(QString(CLAIM_VERIFIED));
    if (!find.exec())
        return Fail(error, find.lastError().text().trimmed());
    if (!find.next())
        return true;
    const QString name = find.value(0).toString();
    const qint64 index = find.value(1).toLongLong();
    find.finish();
    QSqlQuery release(db);
    release.prepare(QStringLiteral("UPDATE batch_claim SET state = ?, station = NULL, session = NULL, done_at = NULL,"
                                   " free_order = ? WHERE batch_name = ? AND idx = ?"));
    release.addBindValue(QString(CLAIM_RELEASED));
    release.addBindValue(ReleasedOrder(index));
    release.addBindValue(name);
    release.addBindValue(index);
    if (!release.exec())
        return Fail(error, release.lastError().text().trimmed());
    *batch = name;
    return true;
}

std::vector<BatchReportLine> BatchReport(QSqlDatabase& db, const QString& name, QString* error) {
    std::vector<BatchReportLine> lines;
    QSqlQuery claims(db);
    claims.prepare(QStringLiteral("SELECT identifier, state, station, claimed_at, done_at FROM batch_claim"
                                  " WHERE batch_name = ? AND state <> ? ORDER BY idx"));
    claims.addBindValue(name);
    claims.addBindValue(QString(CLAIM_LEFT));
    if (!claims.exec()) {
        Fail(error, claims.lastError().text().trimmed());
        return {};
    }
    while (claims.next()) {
        const QString done = claims.value(4).toString();
        lines.push_back({std::uint64_t(claims.value(0).toLongLong()), claims.value(1).toString(),
                         claims.value(2).toString(), done.isEmpty() ? claims.value(3).toString() : done});
    }
    QSqlQuery discards(db);
    discards.prepare(QStringLiteral("SELECT identifier, station, discarded_at FROM batch_discard"
                                    " WHERE batch_name = ? ORDER BY discarded_at"));
    discards.addBindValue(name);
    if (!discards.exec()) {
        Fail(error, discards.lastError().text().trimmed());
        return {};
    }
    while (discards.next())
        lines.push_back({std::uint64_t(discards.value(0).toLongLong()), QStringLiteral("throw-away"),
                         discards.value(1).toString(), discards.value(2).toString()});
    return lines;
}

std::uint64_t PermuteIndex(std::uint64_t index, std::uint64_t count, std::uint64_t seed) {
    int bits = 2;
    while (bits < 64 && (std::uint64_t(1) << bits) < count)
        ++bits;
    bits += bits % 2;
    const int half = bits / 2;
    const std::uint64_t mask = (std::uint64_t(1) << half) - 1;
    std::uint64_t value = index;
    do {
        std::uint64_t left = value >> half, right = value & mask;
        for (std::uint64_t round = 0; round < 4; ++round) {
            const std::uint64_t mixed = left ^ (SplitMix64(right ^ seed ^ (round << 56)) & mask);
            left = right;
            right = mixed;
        }
        value = (left << half) | right;
    } while (value >= count); // cycle walking: stays a permutation of 0..count-1
    return value;
}

std::uint64_t RangeIdentifier(const BatchRange& range, std::uint64_t seed, std::uint64_t index) {
    const std::uint64_t count = std::uint64_t(range.last) - range.first + 1;
    const std::uint64_t offset = range.order == BatchOrder::Random ? PermuteIndex(index, count, seed) : index;
    return (std::uint64_t(range.vendor) << 32) | (range.first + offset);
}
