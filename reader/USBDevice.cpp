#include "reader/USBDevice.h"

#include "platform/System.h"
#include "platform/UsbApi.h"

#include <QFileInfo>

#include <memory>
#include <usb.h>

namespace {

// The one reader handle of the process, shared by every command.
usb_dev_handle* g_hReader = nullptr;
// A transfer on g_hReader found its device gone.
bool g_bReaderGone = false;
// The reader chosen by the user, and the lock and place of the one this process has open.
std::string g_strChosen;
bool g_bPreferenceOnly = false;
std::unique_ptr<CFileLock> g_lock;
ReaderPlace g_openPlace;
ReaderProblem g_problem = ReaderProblem::None;
std::string g_strProblem;
std::string g_strLockFolder;

constexpr int kUsbDeviceMajor = 189;

std::string ReadSysText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::string();
    return QString::fromUtf8(file.read(256)).trimmed().toStdString();
}

// Where the system shows the device in its tree: the bus path, and the serial number beside it.
ReaderPlace PlaceOf(const struct usb_bus& bus, const struct usb_device& device) {
    ReaderPlace place;
    const QString busName = QString::fromLocal8Bit(bus.dirname);
    const QString deviceName = QString::fromLocal8Bit(device.filename);
    place.node = UsbDeviceNode(busName, deviceName).toStdString();
    const int busNumber = busName.toInt(), deviceNumber = deviceName.toInt();
    const QString link = QStringLiteral("/sys/dev/char/%1:%2").arg(kUsbDeviceMajor).arg((busNumber - 1) * 128 + deviceNumber - 1);
    const QString target = QFileInfo(link).symLinkTarget();
    if (busNumber > 0 && deviceNumber > 0 && !target.isEmpty()) {
        place.id = QFileInfo(target).fileName().toStdString();
        place.serial = ReadSysText(target + QStringLiteral("/serial"));
    }
    if (place.id.empty())
        place.id = (busName + QLatin1Char('/') + deviceName).toStdString();
    return place;
}


// Takes the reader for this process, or says which program has it.
bool TakeReader(const ReaderPlace& place) {
    const QString path = ReaderLockPath(place);
    if (g_lock && g_lock->Path() == path)
        return true;
    auto lock = std::make_unique<CFileLock>(path);
    QString error;
    if (!lock->TryLock(&error)) {
        const QString holder = LockNote(path);
        g_problem = ReaderProblem::InUse;
        g_strProblem = "the reader " + place.id + " is in use by another program" +
                       (holder.isEmpty() ? std::string() : " (" + holder.toStdString() + ")") +
                       "; a reader serves one program at a time";
        return false;
    }
    lock->SetNote(QStringLiteral("process %1, %2").arg(CurrentProcessId()).arg(QFileInfo(ExecutablePath()).fileName()));
    g_lock = std::move(lock);
    return true;
}

bool IsReader(const struct usb_device* device) {
    return device->descriptor.idVendor == READER_VENDOR_ID &&
           device->descriptor.idProduct == READER_PRODUCT_ID;
}

// Walks the bus lists of the last scan in order and hands each reader to visit until visit returns true;
// returns the reader it stopped at, null when it went through them all.
template <typename Visit>
struct usb_device* WalkReaders(Visit visit) {
    for (struct usb_bus* bus = CurrentUsbApi().getBusses(); bus; bus = bus->next) {
        for (struct usb_device* device = bus->devices; device; device = device->next) {
            if (IsReader(device) && visit(*bus, *device))
                return device;
        }
    }
    return nullptr;
}

} // namespace

QString ReaderLockPath(const ReaderPlace& place) {
    QString name = QString::fromStdString(place.id);
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    const QString folder = g_strLockFolder.empty() ? LockFolder() : QString::fromStdString(g_strLockFolder);
    return folder + QStringLiteral("/rfid-reader-%1.lock").arg(name);
}

CUSBDevice::CUSBDevice() {
    CurrentUsbApi().init();
}

CUSBDevice::~CUSBDevice() {
    if (g_hReader) {
        CurrentUsbApi().close(g_hReader);
        // Cleared, so that no later reader object closes the same handle a second time.
        g_hReader = nullptr;
    }
    g_lock.reset(); // the reader is free for another program
    g_openPlace = ReaderPlace();
}

std::vector<ReaderPlace> ListReaderPlaces() {
    std::vector<ReaderPlace> places;
    WalkReaders([&places](const struct usb_bus& bus, const struct usb_device& device) {
        places.push_back(PlaceOf(bus, device));
        return false;
    });
    return places;
}

void SetReaderLockFolder(const std::string& folder) {
    g_strLockFolder = folder;
}

bool NamesReader(const ReaderPlace& place, const std::string& text) {
    return !text.empty() && (text == place.id || text == place.serial || text == place.node);
}

std::vector<std::string> ReaderDeviceNodes() {
    std::vector<std::string> nodes;
    WalkReaders([&nodes](const struct usb_bus& bus, const struct usb_device& device) {
        nodes.push_back(UsbDeviceNode(QString::fromLocal8Bit(bus.dirname), QString::fromLocal8Bit(device.filename)).toStdString());
        return false;
    });
    return nodes;
}

usb_dev_handle* CUSBDevice::FindReader() {
    std::string chosen = g_strChosen;
    bool preferenceOnly = g_bPreferenceOnly;
    if (chosen.empty() && !g_openPlace.id.empty()) {
        // Without a choice the process keeps the reader it had: another one plugged in beside it (listed
        // first, maybe) does not take its place.
        chosen = g_openPlace.id;
        preferenceOnly = true;
    }
    if (preferenceOnly && !chosen.empty()) {
        bool plugged = false;
        for (const ReaderPlace& place : ListReaderPlaces())
            plugged = plugged || NamesReader(place, chosen);
        if (!plugged)
            chosen.clear();
    }
    g_problem = ReaderProblem::NotFound;
    g_strProblem = chosen.empty() ? std::string("no reader found") : "no reader " + chosen + " found";
    ReaderPlace found;
    struct usb_device* first = WalkReaders([&found, &chosen](const struct usb_bus& bus, const struct usb_device& device) {
        const ReaderPlace place = PlaceOf(bus, device);
        if (!chosen.empty() && !NamesReader(place, chosen))
            return false;
        if (!TakeReader(place))
            return !chosen.empty(); // the chosen one is taken: no other will do
        found = place;
        return true;
    });
    if (!first || found.id.empty()) // none, or the chosen one is in use
        return nullptr;
    usb_dev_handle* handle = CurrentUsbApi().open(first);
    if (handle) {
        g_problem = ReaderProblem::None;
        g_strProblem.clear();
        g_openPlace = found;
    }
    return handle;
}

void CUSBDevice::ChooseReader(const std::string& text, bool preferenceOnly) {
    g_strChosen = text;
    g_bPreferenceOnly = preferenceOnly;
}

const std::string& CUSBDevice::ChosenReader() {
    return g_strChosen;
}

ReaderProblem CUSBDevice::LastProblem() {
    return g_problem;
}

const std::string& CUSBDevice::LastProblemText() {
    return g_strProblem;
}

ReaderPlace CUSBDevice::OpenReaderPlace() {
    return g_hReader ? g_openPlace : ReaderPlace();
}

void CUSBDevice::RescanBuses() {
    CurrentUsbApi().findBusses();
    CurrentUsbApi().findDevices();
}

void CUSBDevice::StoreReaderHandle(usb_dev_handle* handle) {
    // A stale handle from an unplugged reader is closed before it is replaced; nothing uses it again.
    if (g_hReader && g_hReader != handle)
        CurrentUsbApi().close(g_hReader);
    g_hReader = handle;
    g_bReaderGone = false;
    if (!handle) {
        g_lock.reset();
        g_openPlace = ReaderPlace();
    }
}

bool CUSBDevice::OpenReader() {
    RescanBuses();
    StoreReaderHandle(FindReader());
    return g_hReader != nullptr;
}

usb_dev_handle* CUSBDevice::ReaderHandle() {
    return g_hReader;
}

bool CUSBDevice::ReaderGone() {
    return g_bReaderGone;
}

void CUSBDevice::MarkReaderGone() {
    g_bReaderGone = g_hReader != nullptr;
}
