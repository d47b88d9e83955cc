#include "platform/DeviceNotifier.h"

#include "platform/DeviceMonitor.h"

#include <QSocketNotifier>
#include <QStringList>

QString UsbInterfaceName(const QString& product, const QString& instance) {
    const QStringList parts = product.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return QString();
    bool vidOk = false, pidOk = false;
    const uint vid = parts[0].toUInt(&vidOk, 16);
    const uint pid = parts[1].toUInt(&pidOk, 16);
    if (!vidOk || !pidOk || vid > 0xFFFF || pid > 0xFFFF)
        return QString();
    const auto hex4 = [](uint value) {
        return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
    };
    return QStringLiteral("\\\\?\\USB#VID_%1&PID_%2#%3#{a5dcbf10-6530-11d2-901f-00c04fb951ed}")
        .arg(hex4(vid), hex4(pid), instance);
}

std::unique_ptr<CDeviceNotifier> CDeviceNotifier::Register(Handler handler, QObject* parent) {
    std::unique_ptr<CDeviceMonitor> monitor = CDeviceMonitor::Open();
    if (!monitor)
        return nullptr;
    return std::unique_ptr<CDeviceNotifier>(new CDeviceNotifier(std::move(monitor), std::move(handler), parent));
}

CDeviceNotifier::CDeviceNotifier(std::unique_ptr<CDeviceMonitor> monitor, Handler handler, QObject* parent)
    : QObject(parent), m_pMonitor(std::move(monitor)), m_Handler(std::move(handler)),
      m_pNotifier(new QSocketNotifier(m_pMonitor->Descriptor(), QSocketNotifier::Read, this)) {
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CDeviceNotifier::OnReadable);
}

CDeviceNotifier::~CDeviceNotifier() {
    m_pNotifier->setEnabled(false);
}

void CDeviceNotifier::OnReadable() {
    // One readable notice may stand for several queued events; the loop ends when they are drained.
    for (;;) {
        const std::optional<DeviceEvent> event = m_pMonitor->Next();
        if (!event) {
            if (!m_pMonitor->HasMore())
                return;
            continue;
        }
        DEV_BROADCAST_DEVICEINTERFACE data;
        data.dbcc_name = UsbInterfaceName(event->product, event->instance);
        if (!data.dbcc_name.isEmpty() && m_Handler)
            m_Handler(event->added ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, &data);
    }
}
