#pragma once

// Shared by the journal tests: scratch journals, records, and small file systems of their own (a full
// one, a read-only one) mounted in a mount namespace private to the test process, so nothing is left
// mounted whatever happens to the test.

#include "journal/Journal.h"

#include <QByteArray>
#include <QSqlQuery>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace journaltest {

inline JournalRecord MakeRecord(JournalOperation operation, JournalResult result, std::uint64_t identifier,
                                bool verifyRequested = false) {
    JournalRecord record;
    record.station = QStringLiteral("station-1");
    record.user = QStringLiteral("operator");
    record.source = JournalSource::MassProduction;
    record.operation = operation;
    record.result = result;
    record.identifier = identifier;
    record.verifyRequested = verifyRequested;
    record.readerName = QStringLiteral("RFID Reader");
    record.readerVersion = QStringLiteral("1.0.2");
    return record;
}

inline JournalRecord GoodWrite(std::uint64_t identifier) {
    return MakeRecord(JournalOperation::Write, JournalResult::Ok, identifier);
}

// Opens path as a journal and fails the test when it cannot be opened.
inline std::unique_ptr<CJournal> OpenOrFail(const QString& path, JournalStatus* status = nullptr) {
    JournalStatus local;
    std::unique_ptr<CJournal> journal = CJournal::Open(path, status ? status : &local);
    EXPECT_TRUE(journal) << (status ? status : &local)->detail.toStdString();
    return journal;
}

inline void AddOrFail(CJournal& journal, JournalRecord record) {
    QString error;
    ASSERT_TRUE(journal.Add(record, &error)) << error.toStdString();
}

// What SQLite's own check says of the journal's file: "ok" for a sound one.
inline QString IntegrityCheck(CJournal& journal) {
    QSqlQuery query(journal.Database());
    return query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next() ? query.value(0).toString()
                                                                                : QStringLiteral("failed");
}

// Every record of the journal, oldest first.
inline std::vector<JournalRecord> RecordsOldestFirst(CJournal& journal) {
    std::vector<JournalRecord> records;
    QString error;
    EXPECT_TRUE(journal.Select({}, 0, 1000000, &records, &error)) << error.toStdString();
    std::reverse(records.begin(), records.end());
    return records;
}

// Adds count records in one transaction: three stations, both page sources and rfidctl, every result,
// two batches and records of none, identifiers under vendors 0, 18 and 255 with card numbers that repeat
// across vendors. Times are shuffled against the order of adding (time order is not id order) and
// several records share one time. The records as added, ids filled in.
std::vector<JournalRecord> GenerateJournal(CJournal& journal, int count, const QDateTime& start);

// The records that pass keep, in the journal's order: newest time first, then highest id.
template <typename Keep>
std::vector<JournalRecord> NewestFirst(std::vector<JournalRecord> records, Keep keep) {
    records.erase(std::remove_if(records.begin(), records.end(), [&](const JournalRecord& r) { return !keep(r); }),
                  records.end());
    std::sort(records.begin(), records.end(), [](const JournalRecord& a, const JournalRecord& b) {
        return a.time != b.time ? a.time > b.time : a.id > b.id;
    });
    return records;
}

// A tmpfs of the given size in a scratch folder, in a mount namespace of this process alone.
// Usable() is false where this process may not mount (not root): the test then skips.
class ScratchMount {
public:
    explicit ScratchMount(int kilobytes);
    ~ScratchMount();
    bool Usable() const { return m_bMounted; }
    QString Path() const { return m_dir.path(); }
    bool SetReadOnly(bool readOnly);
    // Fills the file system up with a file that Release() removes again.
    void Fill();
    void Release();

private:
    QTemporaryDir m_dir;
    int m_nKilobytes;
    bool m_bMounted = false;
};

} // namespace journaltest
