#pragma once

// CJournalRecorder: what the pages and rfidctl use of the journal while they write cards.
//
// It keeps the rule that no card is written while its result could not be recorded: a record that
// could not be committed is kept and committed first before the next card may be written, and as long as
// it cannot be, no card is written. A failure is reported once, when it starts, not at every card. With
// the journal turned off ([Journal] Enabled=0) every card may be written and nothing is recorded.

#include "journal/Journal.h"
#include "journal/JournalSettings.h"

#include <functional>
#include <memory>
#include <vector>

class CJournalRecorder {
public:
    explicit CJournalRecorder(JournalSettings settings);
    ~CJournalRecorder();

    const JournalSettings& Settings() const { return m_settings; }
    // The open journal, or null while it is off or cannot be opened.
    CJournal* Journal();
    // Whether the journal is on and open now (Journal() opens it when it is not).
    bool IsOpen() const { return m_settings.enabled && m_journal != nullptr; }

    // Called once when the journal stops working, and when a damaged file was moved aside.
    std::function<void(const JournalStatus&)> m_fnReport;

    // The reader every following record names.
    void SetReader(const QString& name, const QString& version);

    // Whether a card may be written now: the journal is off, or it is open and holds every earlier record.
    bool ReadyToWrite();
    // Records what happened, filling in station, user and reader; false when the record could not be
    // committed (it is then kept for the next ReadyToWrite). With the journal off, true.
    bool Record(JournalRecord record);
    // The record with this recorder's station, user and reader filled in where it names none, as Record
    // keeps it (for records that others add to the journal, such as a batch card's).
    JournalRecord Stamped(JournalRecord record) const;
    // The good card that holds identifier already, when duplicates are refused and there is one.
    // answered is false when the journal could not be asked: then no card may be written.
    std::optional<JournalRecord> FindGoodCard(std::uint64_t identifier, bool* answered);
    // The good card on record that holds identifier, whether duplicates are refused or not: a card on the
    // reader that holds it is a finished card, not to be written again. None while the journal is off.
    std::optional<JournalRecord> FindFinishedCard(std::uint64_t identifier, bool* answered);

    // Records that are waiting to be committed.
    int PendingRecords() const { return int(m_pending.size()); }

private:
    bool EnsureOpen();
    bool CommitPending();
    void Fail(JournalFault fault, const QString& detail);

    JournalSettings m_settings;
    std::unique_ptr<CJournal> m_journal;
    std::vector<JournalRecord> m_pending;
    QString m_strReaderName;
    QString m_strReaderVersion;
    QString m_strUser;
    bool m_bFailureReported = false;
};
