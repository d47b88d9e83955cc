#include "tools/soak/SoakMemory.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

#include <dlfcn.h>
#include <malloc.h>

namespace {

int OpenFileCount() {
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// A figure of /proc/self/status in KiB ("VmRSS", "RssAnon"), or -1.
long StatusKiB(const QByteArray& name) {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = name + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    return -1;
}

// -1 under the address sanitizer, whose allocator glibc's figures do not see.
long long HeapBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return -1;
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#endif
}

// Qt's SQLite driver brings the system's SQLite in; the soak asks it without linking it.
long long SqliteBytes() {
    void* library = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return -1;
    using MemoryUsed = long long (*)();
    const auto used = reinterpret_cast<MemoryUsed>(dlsym(library, "sqlite3_memory_used"));
    const long long bytes = used ? used() : -1;
    dlclose(library);
    return bytes;
}

} // namespace

MemorySample SampleMemory() {
    return {OpenFileCount(), StatusKiB("VmRSS"), StatusKiB("RssAnon"), HeapBytes(), SqliteBytes()};
}

long long EmptyLogAndMeasure(QPlainTextEdit& log) {
    const long long before = HeapBytes();
    log.document()->clear();
    return before - HeapBytes();
}
