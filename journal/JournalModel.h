#pragma once

// CJournalModel: the records of a filter for a view, newest first, fetched a page at a time as the view
// scrolls to them, so a journal of millions of records opens as fast as an empty one.

#include "journal/Journal.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

class CJournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { COL_TIME, COL_STATION, COL_USER, COL_SOURCE, COL_OPERATION, COL_IDENTIFIER, COL_RESULT,
                  COL_REASON, COL_READER, COLUMN_COUNT };
    // The card status of a row's record (CardStatus as an int), for colouring good and rejected cards.
    static constexpr int CardStatusRole = Qt::UserRole + 1;
    static constexpr int PAGE_SIZE = 1000;

    // The text of a column of a record; the window gives one in its language.
    using CellText = std::function<QString(const JournalRecord&, int column)>;

    explicit CJournalModel(QObject* parent = nullptr);

    // Shows the records of filter in journal (null: none); fetches the first page.
    void SetFilter(CJournal* journal, const JournalFilter& filter);
    void SetCellText(CellText cellText) { m_fnCellText = std::move(cellText); }
    void SetHeaders(const QStringList& headers);

    const JournalRecord& RecordAt(int row) const { return m_records[std::size_t(row)]; }
    // The last error of a fetch, empty while every fetch worked.
    QString LastError() const { return m_strError; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The default text of a cell: the stored keys, the time in UTC.
    static QString PlainCellText(const JournalRecord& record, int column);

private:
    CJournal* m_pJournal = nullptr;
    JournalFilter m_filter;
    std::vector<JournalRecord> m_records;
    bool m_bAtEnd = true;
    QString m_strError;
    QStringList m_headers;
    CellText m_fnCellText = PlainCellText;
};
