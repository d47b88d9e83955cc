#include "journal/JournalModel.h"

#include "cards/CardIdentifier.h"

CJournalModel::CJournalModel(QObject* parent) : QAbstractTableModel(parent) {
    for (const char* name : {"Time (UTC)", "Station", "User", "Source", "Operation", "Identifier", "Result",
                             "Reason", "Reader"})
        m_headers << QLatin1String(name);
}

void CJournalModel::SetFilter(CJournal* journal, const JournalFilter& filter) {
    beginResetModel();
    m_pJournal = journal;
    m_filter = filter;
    m_records.clear();
    m_bAtEnd = journal == nullptr;
    m_strError.clear();
    endResetModel();
    fetchMore(QModelIndex());
}

void CJournalModel::SetHeaders(const QStringList& headers) {
    m_headers = headers;
    emit headerDataChanged(Qt::Horizontal, 0, COLUMN_COUNT - 1);
}

int CJournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_records.size());
}

int CJournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant CJournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const JournalRecord& record = RecordAt(index.row());
    if (role == Qt::DisplayRole)
        return m_fnCellText(record, index.column());
    if (role == CardStatusRole)
        return int(StatusOf(record));
    return QVariant();
}

QVariant CJournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headers.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_headers[section];
}

bool CJournalModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_bAtEnd;
}

void CJournalModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    // The next page starts below the oldest record shown, found through the primary key, so every page
    // costs the same however far down the view is.
    const std::int64_t beforeId = m_records.empty() ? 0 : m_records.back().id;
    std::vector<JournalRecord> page;
    QString error;
    if (!m_pJournal->Select(m_filter, beforeId, PAGE_SIZE, &page, &error)) {
        m_strError = error;
        m_bAtEnd = true;
        return;
    }
    m_bAtEnd = page.size() < std::size_t(PAGE_SIZE);
    if (page.empty())
        return;
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + int(page.size()) - 1);
    m_records.insert(m_records.end(), std::make_move_iterator(page.begin()), std::make_move_iterator(page.end()));
    endInsertRows();
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
    case COL_READER:
        return (record.readerName + u' ' + record.readerVersion).trimmed();
    default:
        return QString();
    }
}
