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
