#pragma once

// CJournalModel: the records of a filter for a view, newest first. It knows from the start how many
// records match, so the view's scroll bar spans them all, and fetches the pages that are shown: by key
// (time, id) from a neighbouring page, or counted from the nearer end of the journal when the view
// jumps. A bounded cache of pages keeps the program small whatever was scrolled through.
//
// Pages are numbered from the oldest record, so records that arrive while the view is open go on top
// without moving any page that is already fetched.
//
// With a limit set (SetCountAtOnceLimit), a filter of more records than that is not counted at once: its
// count is estimated from the ids of its newest records and of its oldest, the rows from the top show
// their records, and the exact count made elsewhere (CJournalCounter) comes with TakeCount, with the
// keys of records at even steps from the oldest: a page far from both ends is fetched from the nearest.

#include "journal/Journal.h"

#include <QAbstractTableModel>

#include <functional>
#include <list>
#include <map>
#include <vector>

class CJournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { COL_TIME, COL_STATION, COL_USER, COL_SOURCE, COL_OPERATION, COL_IDENTIFIER, COL_RESULT,
                  COL_REASON, COL_BATCH, COL_READER, COLUMN_COUNT };
    // The card status of a row's record (CardStatus as an int), for colouring good and rejected cards.
    static constexpr int CardStatusRole = Qt::UserRole + 1;
    static constexpr int PAGE_SIZE = 200;
    static constexpr int CACHED_PAGES = 40;

    // The text of a column of a record; the window gives one in its language.
    using CellText = std::function<QString(const JournalRecord&, int column)>;

    explicit CJournalModel(QObject* parent = nullptr);

    // Shows the records of filter in journal (null: none): counts them and forgets every page.
    void SetFilter(CJournal* journal, const JournalFilter& filter);
    // Filters of more records than limit get an estimated count (0, the default: every count is exact).
    void SetCountAtOnceLimit(qint64 limit) { m_nCountAtOnce = limit; }
    // Whether the count is an estimate that waits for TakeExactCount.
    bool CountIsEstimate() const { return m_bEstimate; }
    // The filter of the rows shown, up to the latest record taken in, for a count made elsewhere. Records
    // taken in from now on are added to the count TakeExactCount is given.
    JournalFilter StartExactCount();
    // The exact number of records of the filter StartExactCount gave, and the keys of its step-th,
    // 2 step-th, ... records from the oldest. An estimated count becomes exact: the rows below the top
    // become those records (rows are added or taken away at the bottom, every page is fetched again).
    void TakeCount(qint64 records, const QList<JournalKey>& steps, qint64 step);
    // Takes in the records added since the last look: those newer than every row go on top as new rows
    // (the rows below keep their records); records stamped with an earlier time make every page be
    // fetched again. The number of rows added, 0 when nothing came or the journal could not be asked.
    qint64 Refresh();
    void SetCellText(CellText cellText) { m_fnCellText = std::move(cellText); }
    void SetHeaders(const QStringList& headers);

    // The record of a row, fetched when its page is not held; null when it could not be fetched.
    const JournalRecord* RecordAt(int row) const;
    // The last error of a fetch, empty while every fetch worked.
    QString LastError() const { return m_strError; }
    // How many pages are held now (never more than CACHED_PAGES).
    int CachedPages() const { return int(m_pages.size()); }
    // The id of the latest record the model has looked at.
    std::int64_t LastSeenId() const { return m_nLastId; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The default text of a cell: the stored keys, the time in UTC.
    static QString PlainCellText(const JournalRecord& record, int column);

private:
    struct Page {
        std::vector<JournalRecord> records; // oldest first
        std::list<qint64>::iterator use;    // its place in m_recentlyUsed
    };
    const Page* PageOf(qint64 page) const;
    bool FetchPage(qint64 page, std::vector<JournalRecord>* records) const;
    void Keep(qint64 page, std::vector<JournalRecord> records) const;
    void ForgetPagesFrom(qint64 page);
    qint64 PageLength(qint64 page) const;
    bool CountFrom(std::int64_t lastId);
    std::optional<qint64> ExactCount(QString* error);
    std::optional<qint64> EstimatedCount(std::int64_t newestId, QString* error);
    bool TakeNewestKey(QString* error);

    CJournal* m_pJournal = nullptr;
    JournalFilter m_filter;
    qint64 m_nCount = 0;
    qint64 m_nCountAtOnce = 0;
    bool m_bEstimate = false;
    qint64 m_nTakenInSinceCount = 0; // rows added on top since StartExactCount
    QList<JournalKey> m_steps;       // the key of the record at position (i + 1) * m_nStep - 1 from the oldest
    qint64 m_nStep = 0;
    std::int64_t m_nLastId = 0;
    std::optional<JournalKey> m_newestKey;
    mutable std::map<qint64, Page> m_pages;
    mutable std::list<qint64> m_recentlyUsed; // most recent first
    mutable QString m_strError;
    QStringList m_headers;
    CellText m_fnCellText = PlainCellText;
};
