#include "reader/ReaderPresence.h"

namespace {

constexpr qsizetype kMaxMiddlePart = 255;

} // namespace

std::optional<QString> InterfaceNameMiddlePart(const QString& name) {
    const qsizetype firstHash = name.indexOf(QLatin1Char('#'));
    if (firstHash <= 0)
        return std::nullopt;
    const qsizetype start = firstHash + 1;
    if (start >= name.size() || name[start] == QLatin1Char('#'))
        return std::nullopt;
    qsizetype end = name.indexOf(QLatin1Char('#'), start);
    if (end < 0)
        end = name.size();
    return name.mid(start, qMin(end - start, kMaxMiddlePart));
}

bool InterfaceNameIsReader(const QString& name) {
    const std::optional<QString> middle = InterfaceNameMiddlePart(name);
    return middle && middle->compare(QLatin1String(kReaderInterfaceId), Qt::CaseInsensitive) == 0;
}

void ApplyDeviceChange(ReaderFlags flags, unsigned nEventType, const DEV_BROADCAST_DEVICEINTERFACE* pData) {
    if (nEventType != DBT_DEVICEARRIVAL && nEventType != DBT_DEVICEREMOVECOMPLETE)
        return;
    if (!pData || pData->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return;
    if (!InterfaceNameIsReader(pData->dbcc_name))
        return;
    const bool bArrival = nEventType == DBT_DEVICEARRIVAL;
    // A removal and an arrival handled back to back leave a handle on a node that no longer
    // exists; only reopening reaches the reader that arrived.
    if (bArrival && flags.bDeviceOpen)
        flags.bDeviceStale = 1;
    flags.bDevicePresent = bArrival ? 1 : 0;
}

bool StepConnection(ReaderFlags flags, const std::function<bool()>& openReader,
                    const std::function<bool()>& identifyReader) {
    if (!flags.bDevicePresent) {
        flags.bDeviceOpen = 0;
        flags.bDeviceReady = 0;
        flags.bDeviceStale = 0;
    } else if (!flags.bDeviceOpen || flags.bDeviceStale) {
        flags.bDeviceStale = 0;
        flags.bDeviceReady = 0;
        flags.bDeviceOpen = openReader() ? 1 : 0;
    } else if (!flags.bDeviceReady) {
        flags.bDeviceReady = identifyReader() ? 1 : 0;
    } else {
        return false;
    }
    return !flags.bDeviceReady;
}

QString ReaderNameText(const unsigned char* name, int nNameBytes) {
    QString text;
    for (int i = 0; i < nNameBytes; ++i)
        text += QChar(name[i]);
    return text;
}

QString ReaderVersionText(const unsigned char* version, int nVersionBytes) {
    QString text;
    for (int i = 0; i < nVersionBytes; ++i) {
        if (i > 0)
            text += QLatin1Char('.');
        text += QChar(version[i]);
    }
    return text;
}

QString IdentificationLine(const unsigned char* name, int nNameBytes, const unsigned char* version,
                           int nVersionBytes) {
    return ReaderNameText(name, nNameBytes) + QStringLiteral(" Version: ") + ReaderVersionText(version, nVersionBytes);
}
