#pragma once

// CJournalCounter: counts the records of a filter and their totals on a thread of its own, over a
// connection of its own (a Qt SQL connection serves only the thread that opened it), so that a journal of
// years never stops the window asking. The count comes first, then the totals.
//
// Both walk the records of the filter in the journal's order a step of records at a time: the key of
// each step's last record is found through the filter's index, and the totals are summed a step at a time
// between those keys. A newer request makes the one before stop at its next step; only the latest
// request is answered, on the thread the counter was made in.

#include "journal/Journal.h"

#include <QList>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class CJournalCounter : public QObject {
    Q_OBJECT
public:
    // A step takes about a tenth of a second on an ordinary computer: how late a newer request starts.
    static constexpr qint64 DEFAULT_STEP = 100000;

    // connection is a description CJournal::Open takes; the journal is opened on the first request.
    explicit CJournalCounter(const QString& connection, qint64 step = DEFAULT_STEP, QObject* parent = nullptr);
    ~CJournalCounter() override;

    // Counts the records of filter, then totals them. The request's number, which its answers carry.
    quint64 Request(const JournalFilter& filter);
    // Leaves every request made so far unanswered.
    void Cancel();

signals:
    // steps holds the key of every step-th record from the oldest (none for a card searched for).
    void Counted(quint64 request, qint64 records, const QList<JournalKey>& steps, qint64 step);
    void Totalled(quint64 request, const JournalTotals& totals);
    void Failed(quint64 request, const QString& error);

private:
    struct Job {
        quint64 number = 0;
        JournalFilter filter;
    };
    void Run();
    void Work(CJournal& journal, const Job& job);
    bool IsStale(const Job& job) const { return job.number != m_latest.load(); }

    const QString m_strConnection;
    const qint64 m_nStep;
    std::atomic<quint64> m_latest{0};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Job> m_pending; // guarded by m_mutex
    bool m_bStopping = false;     // guarded by m_mutex
    std::thread m_thread;
};
