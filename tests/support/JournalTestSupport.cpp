#include "tests/support/JournalTestSupport.h"

#include <QFile>

#include <sched.h>
#include <sys/mount.h>

namespace journaltest {

namespace {

// Mounts made from here on stay inside this process and vanish with it.
bool PrivateMountNamespace() {
    static const bool entered = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return entered;
}

QByteArray Options(int kilobytes) {
    return "size=" + QByteArray::number(kilobytes) + "k";
}

} // namespace

std::vector<JournalRecord> GenerateJournal(CJournal& journal, int count, const QDateTime& start) {
    static const JournalResult kResults[] = {JournalResult::Ok, JournalResult::Error, JournalResult::Refused,
                                             JournalResult::VerifyOk, JournalResult::VerifyFailed};
    static const JournalSource kSources[] = {JournalSource::MassProduction, JournalSource::ReadWritePage,
                                             JournalSource::Rfidctl};
    static const std::uint64_t kVendors[] = {0, 18, 255};
    std::vector<JournalRecord> records;
    records.reserve(std::size_t(count));
    EXPECT_TRUE(journal.Database().transaction());
    for (int i = 0; i < count; ++i) {
        JournalRecord record = MakeRecord(JournalOperation::Write, kResults[i % 5],
                                          (kVendors[i % 3] << 32) | std::uint64_t(1000 + i % 97));
        record.station = QStringLiteral("station-%1").arg(i % 3 + 1);
        record.source = kSources[(i / 3) % 3];
        record.batch = i % 4 == 0 ? QString() : QStringLiteral("batch-%1").arg(i % 2);
        // A step of 7919 through the records spreads the times; three records share each time.
        record.time = start.addMSecs(qint64((std::int64_t(i) * 7919) % count / 3) * 1000);
        QString error;
        EXPECT_TRUE(journal.AddInTransaction(record, &error)) << error.toStdString();
        records.push_back(record);
    }
    EXPECT_TRUE(journal.Database().commit());
    return records;
}

ScratchMount::ScratchMount(int kilobytes) : m_nKilobytes(kilobytes) {
    m_bMounted = PrivateMountNamespace() &&
                 mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, Options(kilobytes).constData()) == 0;
}

ScratchMount::~ScratchMount() {
    if (m_bMounted)
        umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool ScratchMount::SetReadOnly(bool readOnly) {
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    return mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", flags, Options(m_nKilobytes).constData()) == 0;
}

void ScratchMount::Fill() {
    QFile filler(m_dir.path() + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
}

void ScratchMount::Release() {
    QFile::remove(m_dir.path() + QStringLiteral("/filler"));
}

} // namespace journaltest
