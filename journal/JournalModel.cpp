#include "journal/JournalModel.h"

#include "cards/CardIdentifier.h"

#include <algorithm>
#include <limits>

CJournalModel::CJournalModel(QObject* parent) : QAbstractTableModel(parent) {
    for (const char* name : {"Time (UTC)", "Station", "User", "Source", "Operation", "Identifier", "Result",
                             "Reason", "Batch", "Reader"})
        m_headers << QLatin1String(name);
}

void CJournalModel::SetFilter(CJournal* journal, const JournalFilter& filter) {
    beginResetModel();
    m_pJournal = journal;
    m_filter = filter;
    m_nCount = 0;
    m_nLastId = 0;
    m_bEstimate = false;
    m_nTakenInSinceCount = 0;
    m_newestKey.reset();
    m_pages.clear();
    m_recentlyUsed.clear();
    m_steps.clear();
    m_strError.clear();
    QString error;
    const std::optional<std::int64_t> lastId = journal ? journal->LastId(&error) : std::optional<std::int64_t>(0);
    if (!lastId || !CountFrom(*lastId))
        m_strError = m_strError.isEmpty() ? error : m_strError;
    endResetModel();
}

// Counts the records of the filter up to lastId, the newest of them giving the key new records are
// compared with. Records added later stay out of every page until Refresh takes them in.
bool CJournalModel::CountFrom(std::int64_t lastId) {
    m_nLastId = lastId;
    m_filter.idAtMost = lastId;
    m_nCount = 0;
    m_newestKey.reset();
    if (!m_pJournal || lastId == 0)
        return true;
    QString error;
    if (!TakeNewestKey(&error)) {
        m_strError = error;
        return false;
    }
    const std::optional<qint64> count = !m_newestKey          ? std::optional<qint64>(0)
                                        : m_nCountAtOnce > 0 ? EstimatedCount(m_newestKey->id, &error)
                                                             : ExactCount(&error);
    if (!count) {
        m_strError = error;
        return false;
    }
    m_nCount = *count;
    return true;
}

bool CJournalModel::TakeNewestKey(QString* error) {
    std::vector<JournalRecord> newest;
    JournalPageQuery first;
    first.limit = 1;
    if (!m_pJournal->SelectPage(m_filter, first, &newest, error))
        return false;
    m_newestKey = newest.empty() ? std::nullopt : std::optional<JournalKey>(KeyOf(newest.front()));
    return true;
}

std::optional<qint64> CJournalModel::ExactCount(QString* error) {
    // Counted without the cap where nothing arrived meanwhile: a count up to an id reads the whole
    // table on SQLite, where a plain count reads its smallest index.
    JournalFilter uncapped = m_filter;
    uncapped.idAtMost = 0;
    std::optional<qint64> count = m_pJournal->Count(uncapped, error);
    if (count && m_pJournal->LastId(error) != std::optional<std::int64_t>(m_nLastId))
        count = m_pJournal->Count(m_filter, error);
    return count;
}

// Up to the limit, the count itself; beyond it, the limit's share of the ids its newest records span
// taken over the ids from the oldest record to the newest (records are added in about the order of
// their times).
std::optional<qint64> CJournalModel::EstimatedCount(std::int64_t newestId, QString* error) {
    const std::optional<JournalSample> sample = m_pJournal->SampleNewest(m_filter, m_nCountAtOnce, error);
    if (!sample || sample->records < m_nCountAtOnce)
        return sample ? std::optional<qint64>(sample->records) : std::nullopt;
    JournalPageQuery first;
    first.oldestFirst = true;
    first.limit = 1;
    std::vector<JournalRecord> oldest;
    if (!m_pJournal->SelectPage(m_filter, first, &oldest, error) || oldest.empty())
        return std::nullopt;
    const double newestSpan = double(std::max<std::int64_t>(1, newestId - sample->lowestId + 1));
    const double wholeSpan = double(std::max<std::int64_t>(1, newestId - oldest.front().id + 1));
    m_bEstimate = true;
    const double estimate = double(m_nCountAtOnce) * wholeSpan / newestSpan;
    return qint64(std::clamp(estimate, double(m_nCountAtOnce), double(std::numeric_limits<int>::max())));
}

JournalFilter CJournalModel::StartExactCount() {
    m_nTakenInSinceCount = 0;
    JournalFilter counted = m_filter;
    // The newest key bounds the count where the filter's index can see it, as the id cap cannot.
    counted.keyAtMost = m_newestKey;
    return counted;
}

void CJournalModel::TakeCount(qint64 records, const QList<JournalKey>& steps, qint64 step) {
    m_steps = steps;
    m_nStep = step;
    if (!m_bEstimate)
        return;
    m_bEstimate = false;
    // Pages were placed by the estimate: every row below the top may show another record now.
    ForgetPagesFrom(0);
    const qint64 exact = std::min<qint64>(records + m_nTakenInSinceCount, std::numeric_limits<int>::max());
    if (exact > m_nCount) {
        beginInsertRows(QModelIndex(), int(m_nCount), int(exact) - 1);
        m_nCount = exact;
        endInsertRows();
    } else if (exact < m_nCount) {
        beginRemoveRows(QModelIndex(), int(exact), int(m_nCount) - 1);
        m_nCount = exact;
        endRemoveRows();
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, COLUMN_COUNT - 1));
}

qint64 CJournalModel::Refresh() {
    if (!m_pJournal)
        return 0;
    JournalFilter uncapped = m_filter;
    uncapped.idAtMost = 0;
    QString error;
    const std::optional<JournalArrivals> arrivals = m_pJournal->Arrivals(uncapped, m_nLastId, m_newestKey, &error);
    if (!arrivals) {
        m_strError = error;
        return 0;
    }
    m_nLastId = arrivals->lastId;
    m_filter.idAtMost = m_nLastId;
    if (arrivals->records == 0)
        return 0;
    const qint64 oldCount = m_nCount;
    const bool allNewer = arrivals->newer == arrivals->records;
    beginInsertRows(QModelIndex(), 0, int(arrivals->records) - 1);
    // The top page was fetched short of the new records; records stamped earlier move every page.
    ForgetPagesFrom(allNewer ? oldCount / PAGE_SIZE : 0);
    if (!allNewer)
        m_steps.clear();
    m_nCount = oldCount + arrivals->records;
    m_nTakenInSinceCount += arrivals->records;
    if (!TakeNewestKey(&error))
        m_strError = error;
    endInsertRows();
    if (!allNewer && rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, COLUMN_COUNT - 1));
    return arrivals->records;
}

void CJournalModel::SetHeaders(const QStringList& headers) {
    m_headers = headers;
    emit headerDataChanged(Qt::Horizontal, 0, COLUMN_COUNT - 1);
}

int CJournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_nCount);
}

int CJournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

qint64 CJournalModel::PageLength(qint64 page) const {
    return std::min<qint64>(PAGE_SIZE, m_nCount - page * PAGE_SIZE);
}

// A page is fetched by key from a neighbour that is held, else counted from the nearer end.
bool CJournalModel::FetchPage(qint64 page, std::vector<JournalRecord>* records) const {
    JournalPageQuery query;
    query.limit = int(PageLength(page));
    bool reversed = false;
    if (const auto older = m_pages.find(page - 1); older != m_pages.end() && !older->second.records.empty()) {
        query.oldestFirst = true;
        query.beyond = KeyOf(older->second.records.back());
    } else if (const auto newer = m_pages.find(page + 1); newer != m_pages.end() && !newer->second.records.empty()) {
        query.beyond = KeyOf(newer->second.records.front());
        reversed = true;
    } else {
        const qint64 fromOldest = page * PAGE_SIZE;
        const qint64 fromNewest = m_nCount - fromOldest - query.limit;
        // From the newest on a tie: while the count is an estimate, only that end places rows exactly.
        query.oldestFirst = fromOldest < fromNewest;
        query.offset = query.oldestFirst ? fromOldest : fromNewest;
        reversed = !query.oldestFirst;
        // Beyond the nearest step below the page, where that is nearer than either end.
        const qint64 below = m_nStep > 0 ? std::min<qint64>(fromOldest / m_nStep, m_steps.size()) : 0;
        if (below > 0 && fromOldest - below * m_nStep < query.offset) {
            query.oldestFirst = true;
            query.beyond = m_steps[below - 1];
            query.offset = fromOldest - below * m_nStep;
            reversed = false;
        }
    }
    QString error;
    if (!m_pJournal->SelectPage(m_filter, query, records, &error)) {
        m_strError = error;
        return false;
    }
    if (reversed)
        std::reverse(records->begin(), records->end());
    return true;
}

void CJournalModel::Keep(qint64 page, std::vector<JournalRecord> records) const {
    m_recentlyUsed.push_front(page);
    m_pages[page] = Page{std::move(records), m_recentlyUsed.begin()};
    while (m_pages.size() > std::size_t(CACHED_PAGES)) {
        m_pages.erase(m_recentlyUsed.back());
        m_recentlyUsed.pop_back();
    }
}

void CJournalModel::ForgetPagesFrom(qint64 page) {
    for (auto it = m_pages.lower_bound(page); it != m_pages.end();) {
        m_recentlyUsed.erase(it->second.use);
        it = m_pages.erase(it);
    }
}

const CJournalModel::Page* CJournalModel::PageOf(qint64 page) const {
    if (const auto held = m_pages.find(page); held != m_pages.end()) {
        m_recentlyUsed.splice(m_recentlyUsed.begin(), m_recentlyUsed, held->second.use);
        return &held->second;
    }
    std::vector<JournalRecord> records;
    if (!FetchPage(page, &records))
        return nullptr;
    Keep(page, std::move(records));
    return &m_pages.at(page);
}

const JournalRecord* CJournalModel::RecordAt(int row) const {
    if (!m_pJournal || row < 0 || row >= rowCount())
        return nullptr;
    const qint64 position = m_nCount - 1 - row;
    const Page* page = PageOf(position / PAGE_SIZE);
    const std::size_t inPage = std::size_t(position % PAGE_SIZE);
    return page && inPage < page->records.size() ? &page->records[inPage] : nullptr;
}

QVariant CJournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != CardStatusRole))
        return QVariant();
    const JournalRecord* record = RecordAt(index.row());
    if (!record)
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_fnCellText(*record, index.column());
    return int(StatusOf(*record));
}

QVariant CJournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_headers[section];
}

QString CJournalModel::PlainCellText(const JournalRecord& record, int column) {
    switch (column) {
    case COL_TIME:
        return record.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case COL_STATION:
        return record.station;
    case COL_USER:
        return record.user;
    case COL_SOURCE:
        return SourceKey(record.source);
    case COL_OPERATION:
        return OperationKey(record.operation);
    case COL_IDENTIFIER:
        return record.identifier ? CardIdText(*record.identifier) : QString();
    case COL_RESULT:
        return ResultKey(record.result);
    case COL_REASON:
        return record.reason;
    case COL_BATCH:
        return record.batch;
    case COL_READER:
        return (record.readerName + u' ' + record.readerVersion).trimmed();
    default:
        return QString();
    }
}
