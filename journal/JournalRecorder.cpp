#include "journal/JournalRecorder.h"

#include "journal/Database.h"

CJournalRecorder::CJournalRecorder(JournalSettings settings)
    : m_settings(std::move(settings)), m_strUser(LoginUserName()) {}

CJournalRecorder::~CJournalRecorder() = default;

CJournal* CJournalRecorder::Journal() {
    return m_settings.enabled && EnsureOpen() ? m_journal.get() : nullptr;
}

void CJournalRecorder::SetReader(const QString& name, const QString& version) {
    m_strReaderName = name;
    m_strReaderVersion = version;
}

void CJournalRecorder::Fail(JournalFault fault, const QString& detail) {
    if (m_bFailureReported)
        return;
    m_bFailureReported = true;
    if (m_fnReport)
        m_fnReport({fault, DatabaseDisplayText(m_settings.connection), detail, QString()});
}

bool CJournalRecorder::EnsureOpen() {
    if (m_journal)
        return true;
    JournalStatus status;
    m_journal = CJournal::Open(m_settings.connection, &status);
    if (status.fault == JournalFault::KeptAside && m_fnReport)
        m_fnReport(status);
    if (!m_journal) {
        Fail(status.fault, status.detail);
        return false;
    }
    return true;
}

bool CJournalRecorder::CommitPending() {
    while (!m_pending.empty()) {
        if (!EnsureOpen())
            return false;
        QString error;
        bool damaged = false;
        if (!m_journal->Add(m_pending.front(), &error, &damaged)) {
            if (damaged) {
                // A file damaged under the running program: keep it for recovery and go on in a new one.
                m_journal.reset();
                const QString keptAs = KeepDamagedFileAside(m_settings.connection);
                if (!keptAs.isEmpty() && m_fnReport)
                    m_fnReport({JournalFault::KeptAside, m_settings.connection, error, keptAs});
                if (!keptAs.isEmpty() && EnsureOpen() && m_journal->Add(m_pending.front(), &error)) {
                    m_pending.erase(m_pending.begin());
                    continue;
                }
            }
            Fail(JournalFault::CannotWrite, error);
            return false;
        }
        m_pending.erase(m_pending.begin());
    }
    m_bFailureReported = false;
    return true;
}

bool CJournalRecorder::ReadyToWrite() {
    return !m_settings.enabled || (EnsureOpen() && CommitPending());
}

bool CJournalRecorder::Record(JournalRecord record) {
    if (!m_settings.enabled)
        return true;
    if (!record.time.isValid())
        record.time = QDateTime::currentDateTimeUtc();
    m_pending.push_back(Stamped(std::move(record)));
    return CommitPending();
}

JournalRecord CJournalRecorder::Stamped(JournalRecord record) const {
    if (record.station.isEmpty())
        record.station = m_settings.station;
    if (record.user.isEmpty())
        record.user = m_strUser;
    if (record.readerName.isEmpty() && record.readerVersion.isEmpty()) {
        record.readerName = m_strReaderName;
        record.readerVersion = m_strReaderVersion;
    }
    return record;
}

std::optional<JournalRecord> CJournalRecorder::FindGoodCard(std::uint64_t identifier, bool* answered) {
    *answered = true;
    if (!m_settings.refuseDuplicates)
        return std::nullopt;
    return FindFinishedCard(identifier, answered);
}

std::optional<JournalRecord> CJournalRecorder::FindFinishedCard(std::uint64_t identifier, bool* answered) {
    *answered = true;
    if (!m_settings.enabled)
        return std::nullopt;
    if (!ReadyToWrite()) {
        *answered = false;
        return std::nullopt;
    }
    QString error;
    std::optional<JournalRecord> found = m_journal->FindGoodCard(identifier, &error);
    if (!error.isEmpty()) {
        *answered = false;
        Fail(JournalFault::CannotWrite, error);
    }
    return found;
}
