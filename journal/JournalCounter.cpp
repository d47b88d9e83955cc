#include "journal/JournalCounter.h"

#include <functional>
#include <vector>

namespace {

// The keys of every step-th record of filter from the oldest, and how many records there are. False with
// error set when the journal could not be asked, or when stale() said to stop.
bool WalkSteps(CJournal& journal, const JournalFilter& filter, qint64 stepLength, const std::function<bool()>& stale,
               QList<JournalKey>* steps, qint64* records, QString* error) {
    std::optional<JournalKey> from;
    for (;;) {
        if (stale())
            return false;
        JournalPageQuery step;
        step.oldestFirst = true;
        step.beyond = from;
        step.offset = stepLength - 1;
        step.limit = 1;
        std::vector<JournalRecord> last;
        if (!journal.SelectPage(filter, step, &last, error))
            return false;
        if (last.empty()) {
            JournalFilter rest = filter;
            rest.keyAbove = from;
            const std::optional<qint64> count = journal.Count(rest, error);
            if (count)
                *records += *count;
            return count.has_value();
        }
        from = KeyOf(last.front());
        steps->push_back(*from);
        *records += stepLength;
    }
}

// The totals of filter summed step by step between the keys WalkSteps found.
bool SumSteps(CJournal& journal, const JournalFilter& filter, const QList<JournalKey>& steps,
              const std::function<bool()>& stale, JournalTotals* totals, QString* error) {
    for (qsizetype i = 0; i <= steps.size(); ++i) {
        if (stale())
            return false;
        JournalFilter part = filter;
        if (i > 0)
            part.keyAbove = steps[i - 1];
        if (i < steps.size())
            part.keyAtMost = steps[i];
        const std::optional<JournalTotals> step = journal.Totals(part, error);
        if (!step)
            return false;
        *totals += *step;
    }
    return true;
}

} // namespace

CJournalCounter::CJournalCounter(const QString& connection, qint64 step, QObject* parent)
    : QObject(parent), m_strConnection(connection), m_nStep(step), m_thread([this] { Run(); }) {}

CJournalCounter::~CJournalCounter() {
    {
        const std::lock_guard lock(m_mutex);
        m_bStopping = true;
    }
    ++m_latest; // the step under way is the last
    m_wake.notify_one();
    m_thread.join();
}

quint64 CJournalCounter::Request(const JournalFilter& filter) {
    const quint64 number = ++m_latest;
    {
        const std::lock_guard lock(m_mutex);
        m_pending = Job{number, filter};
    }
    m_wake.notify_one();
    return number;
}

void CJournalCounter::Cancel() {
    ++m_latest;
    const std::lock_guard lock(m_mutex);
    m_pending.reset();
}

void CJournalCounter::Run() {
    std::unique_ptr<CJournal> journal; // opened, used and closed on this thread
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bStopping || m_pending; });
            if (m_bStopping)
                break;
            job = std::move(*m_pending);
            m_pending.reset();
        }
        if (IsStale(job))
            continue;
        if (!journal) {
            JournalStatus status;
            journal = CJournal::Open(m_strConnection, &status);
            if (!journal) {
                const QString error = status.detail;
                QMetaObject::invokeMethod(this, [this, job, error] {
                    if (!IsStale(job))
                        emit Failed(job.number, error);
                }, Qt::QueuedConnection);
                continue;
            }
        }
        Work(*journal, job);
    }
}

// Answers are posted to the counter's own thread and dropped there when a newer request came meanwhile.
void CJournalCounter::Work(CJournal& journal, const Job& job) {
    const auto stale = [this, &job] { return IsStale(job); };
    const auto fail = [this, &job](const QString& error) {
        QMetaObject::invokeMethod(this, [this, job, error] {
            if (!IsStale(job))
                emit Failed(job.number, error);
        }, Qt::QueuedConnection);
    };
    QString error;
    // A card's records are few and ordered otherwise: counted and totalled at once.
    if (!job.filter.identifierText.trimmed().isEmpty()) {
        const std::optional<JournalTotals> totals = journal.Totals(job.filter, &error);
        if (!totals) {
            fail(error);
            return;
        }
        QMetaObject::invokeMethod(this, [this, job, totals] {
            if (!IsStale(job))
                emit Counted(job.number, totals->records, {}, m_nStep);
            if (!IsStale(job))
                emit Totalled(job.number, *totals);
        }, Qt::QueuedConnection);
        return;
    }
    QList<JournalKey> steps;
    qint64 records = 0;
    if (!WalkSteps(journal, job.filter, m_nStep, stale, &steps, &records, &error)) {
        if (!stale())
            fail(error);
        return;
    }
    QMetaObject::invokeMethod(this, [this, job, records, steps] {
        if (!IsStale(job))
            emit Counted(job.number, records, steps, m_nStep);
    }, Qt::QueuedConnection);
    JournalTotals totals;
    if (!SumSteps(journal, job.filter, steps, stale, &totals, &error)) {
        if (!stale())
            fail(error);
        return;
    }
    QMetaObject::invokeMethod(this, [this, job, totals] {
        if (!IsStale(job))
            emit Totalled(job.number, totals);
    }, Qt::QueuedConnection);
}
