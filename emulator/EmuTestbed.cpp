// umockdev's GLib headers come before Qt's, whose "signals" keyword would clash with them.
#include <umockdev.h>

#include "emulator/EmuTestbed.h"
#include "reader/USBDevice.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

constexpr char PRELOAD_LIBRARY[] = "libumockdev-preload.so.0";
constexpr int ROOT_HUB_DEVNUM = 1;

// Device numbers are never reused within a process: libusb keeps a device it has seen under its file
// name, so a new device under an old name would keep the old descriptor through later testbeds.
int g_nNextDevNum = ROOT_HUB_DEVNUM + 1;
constexpr int DIRECTION_IN = 0x80;
constexpr int REQUEST_GET_DESCRIPTOR = 6;
constexpr int DESCRIPTOR_DEVICE = 1;
constexpr int DESCRIPTOR_CONFIG = 2;

std::uint8_t Low(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
std::uint8_t High(int value) {
    return static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

std::vector<std::uint8_t> DeviceDescriptor(int vendorId, int productId, int deviceClass) {
    return {0x12,
            0x01,
            0x00,
            0x02,
            Low(deviceClass),
            0x00,
            0x00,
            0x40,
            Low(vendorId),
            High(vendorId),
            Low(productId),
            High(productId),
            0x00,
            0x01,
            0x00,
            0x00,
            0x00,
            0x01};
}

// One configuration with one vendor-specific interface and no endpoint besides endpoint 0.
std::vector<std::uint8_t> ConfigDescriptor() {
    return {0x09, 0x02, 0x12, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
            0x09, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00};
}

std::string UpperHex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", byte);
        text += pair;
    }
    return text;
}

std::string Format(const char* format, int a, int b = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

void ThrowOnError(GError* error, const char* what) {
    if (!error)
        return;
    std::string message = std::string(what) + ": " + error->message;
    g_error_free(error);
    throw std::runtime_error(message);
}

// umockdev_ioctl_data_resolve hands over a reference of its own; dropping it keeps a device's memory
// flat over any number of transfers.
struct IoctlDataUnref {
    void operator()(UMockdevIoctlData* data) const { umockdev_ioctl_data_unref(data); }
};
using IoctlDataRef = std::unique_ptr<UMockdevIoctlData, IoctlDataUnref>;

} // namespace

// The ioctl side of one emulated device node: answers what libusb asks of a USB device file.
struct CEmuUsbDevice::Handler {
    UMockdevIoctlBase* base = nullptr;
    std::shared_ptr<CEmulatedReader> reader;
    std::vector<std::uint8_t> deviceDescriptor;
    std::vector<std::uint8_t> configDescriptor;
    int devNum = 0;
    // Set when the device is unplugged: a handle that a process still holds keeps reaching this
    // handler, and is answered as the kernel answers for a vanished device.
    std::atomic<bool> gone{false};

    ~Handler() {
        if (base)
            g_object_unref(base);
    }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        static_cast<Handler*>(self)->Handle(client);
        return TRUE;
    }

    void Handle(UMockdevIoctlClient* client) {
        if (gone) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return;
        }
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        if (request == USBDEVFS_CONNECTINFO)
            AnswerConnectInfo(client, arg);
        else if (request == USBDEVFS_CONTROL)
            AnswerControl(client, arg);
        else
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }

    void AnswerConnectInfo(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        GError* error = nullptr;
        const IoctlDataRef info(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_connectinfo), &error));
        if (!info) {
            g_clear_error(&error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        usbdevfs_connectinfo answer{};
        answer.devnum = static_cast<unsigned>(devNum);
        umockdev_ioctl_data_update(info.get(), 0, reinterpret_cast<guint8*>(&answer), sizeof answer);
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    void AnswerControl(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        GError* error = nullptr;
        const IoctlDataRef setup(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ctrltransfer), &error));
        if (!setup) {
            g_clear_error(&error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return;
        }
        usbdevfs_ctrltransfer transfer;
        std::memcpy(&transfer, setup->data, sizeof transfer);
        std::vector<std::uint8_t> buffer(transfer.wLength);
        IoctlDataRef data;
        if (transfer.wLength > 0) {
            data.reset(umockdev_ioctl_data_resolve(setup.get(), offsetof(usbdevfs_ctrltransfer, data),
                                                   transfer.wLength, &error));
            if (!data) {
                g_clear_error(&error);
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return;
            }
            std::memcpy(buffer.data(), data->data, buffer.size());
        }

        int delayMs = 0;
        const int result = Answer(transfer, buffer, &delayMs);
        // A time-out is a reply that comes only after the delay; the client blocks meanwhile.
        if (delayMs > 0)
            g_usleep(static_cast<gulong>(delayMs) * 1000);
        if (result > 0 && (transfer.bRequestType & DIRECTION_IN))
            umockdev_ioctl_data_update(data.get(), 0, buffer.data(), result);
        if (result < 0)
            umockdev_ioctl_client_complete(client, -1, -result);
        else
            umockdev_ioctl_client_complete(client, result, 0);
    }

    int Answer(const usbdevfs_ctrltransfer& transfer, std::vector<std::uint8_t>& buffer, int* delayMs) {
        if (transfer.bRequestType == DIRECTION_IN && transfer.bRequest == REQUEST_GET_DESCRIPTOR) {
            const int type = transfer.wValue >> 8;
            if (type == DESCRIPTOR_DEVICE)
                return CopyOut(deviceDescriptor, buffer);
            if (type == DESCRIPTOR_CONFIG)
                return CopyOut(configDescriptor, buffer);
            return -EPIPE;
        }
        return reader->HandleControl(transfer.bRequestType, transfer.bRequest, transfer.wValue,
                                     transfer.wIndex, buffer.data(), static_cast<int>(buffer.size()),
                                     delayMs);
    }

    static int CopyOut(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& buffer) {
        const std::size_t count = bytes.size() < buffer.size() ? bytes.size() : buffer.size();
        std::memcpy(buffer.data(), bytes.data(), count);
        return static_cast<int>(count);
    }
};

struct CEmuTestbed::Impl {
    UMockdevTestbed* testbed = nullptr;
    std::shared_ptr<CEmuUsbDevice> rootHub;
    std::vector<std::weak_ptr<CEmuUsbDevice>> devices;
    // Handlers of unplugged devices live as long as the testbed, since stale handles still reach them.
    std::vector<std::unique_ptr<CEmuUsbDevice::Handler>> retired;
};

// ---- the preload ----

bool CEmuTestbed::UnderPreload() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload.so");
}

void CEmuTestbed::EnsurePreload(int /*argc*/, char** argv) {
    if (UnderPreload())
        return;
    std::string preload = PRELOAD_LIBRARY;
    if (const char* previous = std::getenv("LD_PRELOAD"); previous && *previous)
        preload += std::string(":") + previous;
    setenv("LD_PRELOAD", preload.c_str(), 1);

    // Testbeds of runs that crashed stay behind; keep them together in one scratch folder.
    const char* tmp = std::getenv("TMPDIR");
    const std::string scratch = std::string(tmp && *tmp ? tmp : "/tmp") + "/rfid-emureader";
    mkdir(scratch.c_str(), 0700);
    setenv("TMPDIR", scratch.c_str(), 1);

    // The preloaded library comes before the sanitizer runtime, which would otherwise refuse to start.
    const std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    if (asan.find("verify_asan_link_order") == std::string::npos)
        setenv("ASAN_OPTIONS",
               (asan.empty() ? std::string() : asan + ":").append("verify_asan_link_order=0").c_str(), 1);

    execv("/proc/self/exe", argv);
    std::perror("cannot re-execute under the umockdev preload");
    std::exit(1);
}

// ---- the testbed ----

CEmuTestbed::CEmuTestbed() : m_impl(std::make_unique<Impl>()) {
    if (!UnderPreload())
        throw std::runtime_error(
            "the emulated reader needs the umockdev preload (CEmuTestbed::EnsurePreload)");
    m_impl->testbed = umockdev_testbed_new();
    // libusb uses /dev/bus/usb only when it holds an entry at usb_init, so the root hub comes first.
    m_impl->rootHub = std::shared_ptr<CEmuUsbDevice>(
        new CEmuUsbDevice(*this, 0x1D6B, 0x0002, ROOT_HUB_DEVNUM, std::make_shared<CEmulatedReader>(false), QString()));
    m_impl->rootHub->Replug();
    // The readers of this bus are its own: their locks live in its folder, for this process and the
    // programs it starts (ChildEnvironment), so tests running at once never refuse each other's readers.
    SetReaderLockFolder(RootDir().toStdString());
}

CEmuTestbed::~CEmuTestbed() {
    SetReaderLockFolder(std::string());
    for (const auto& weak : m_impl->devices) {
        if (auto device = weak.lock()) {
            device->Unplug();
            device->m_pTestbed = nullptr;
        }
    }
    m_impl->rootHub->Unplug();
    m_impl->rootHub->m_pTestbed = nullptr;
    g_object_unref(m_impl->testbed);
    m_impl->retired.clear();
}

std::shared_ptr<CEmuUsbDevice> CEmuTestbed::Plug(int vendorId, int productId,
                                                 std::shared_ptr<CEmulatedReader> reader, const QString& serial) {
    auto device = std::shared_ptr<CEmuUsbDevice>(
        new CEmuUsbDevice(*this, vendorId, productId, g_nNextDevNum++, std::move(reader), serial));
    device->Replug();
    m_impl->devices.push_back(device);
    return device;
}

std::shared_ptr<CEmuUsbDevice> CEmuTestbed::PlugReader(int vendorId, int productId) {
    return Plug(vendorId, productId, std::make_shared<CEmulatedReader>());
}

std::shared_ptr<CEmuUsbDevice> CEmuTestbed::PlugReaderWithSerial(const QString& serial) {
    return Plug(READER_VENDOR_ID, READER_PRODUCT_ID, std::make_shared<CEmulatedReader>(), serial);
}

std::shared_ptr<CEmuUsbDevice> CEmuTestbed::PlugDevice(int vendorId, int productId) {
    return Plug(vendorId, productId, std::make_shared<CEmulatedReader>(false));
}

QString CEmuTestbed::RootDir() const {
    gchar* root = umockdev_testbed_get_root_dir(m_impl->testbed);
    const QString dir = QString::fromUtf8(root);
    g_free(root);
    return dir;
}

QProcessEnvironment CEmuTestbed::ChildEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QString::fromLocal8Bit(std::getenv("LD_PRELOAD")));
    environment.insert(QStringLiteral("UMOCKDEV_DIR"), RootDir());
    environment.insert(QStringLiteral("TMPDIR"), RootDir()); // where a child keeps its reader locks
    return environment;
}

// ---- one device ----

CEmuUsbDevice::CEmuUsbDevice(CEmuTestbed& testbed, int vendorId, int productId, int devNum,
                             std::shared_ptr<CEmulatedReader> reader, const QString& serial)
    : m_pTestbed(&testbed), m_nVendorId(vendorId), m_nProductId(productId), m_nDevNum(devNum),
      m_reader(std::move(reader)), m_strSerial(serial) {}

CEmuUsbDevice::~CEmuUsbDevice() {
    Unplug();
}

QString CEmuUsbDevice::DevNode() const {
    return QString::asprintf("/dev/bus/usb/001/%03d", m_nDevNum);
}

void CEmuUsbDevice::Replug() {
    if (IsPlugged() || !m_pTestbed)
        return;
    UMockdevTestbed* testbed = m_pTestbed->m_impl->testbed;
    const bool rootHub = m_nDevNum == ROOT_HUB_DEVNUM;
    const std::string devPath = rootHub ? std::string("/devices/pci0000:00/0000:00:14.0/usb1")
                                        : Format("/devices/pci0000:00/0000:00:14.0/usb1/1-%d", m_nDevNum - 1);
    const std::string node = DevNode().toStdString();

    m_handler = std::make_unique<Handler>();
    m_handler->reader = m_reader;
    m_handler->deviceDescriptor = DeviceDescriptor(m_nVendorId, m_nProductId, rootHub ? 9 : 0);
    m_handler->configDescriptor = ConfigDescriptor();
    m_handler->devNum = m_nDevNum;
    m_handler->base = umockdev_ioctl_base_new();
    g_signal_connect(m_handler->base, "handle-ioctl", G_CALLBACK(&Handler::OnIoctl), m_handler.get());

    // The handler must be in place before the node appears, or the first scan finds a plain file.
    GError* error = nullptr;
    umockdev_testbed_attach_ioctl(testbed, node.c_str(), m_handler->base, &error);
    ThrowOnError(error, "cannot attach the emulated device to its node");

    std::vector<std::uint8_t> contents = m_handler->deviceDescriptor;
    contents.insert(contents.end(), m_handler->configDescriptor.begin(), m_handler->configDescriptor.end());
    const std::string record =
        "P: " + devPath + "\n" + "N: " + node.substr(5) + "=" + UpperHex(contents) + "\n" +
        "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DEVNAME=" + node + "\nE: BUSNUM=001\n" +
        Format("E: DEVNUM=%03d\n", m_nDevNum) + Format("E: PRODUCT=%x/%x/100\n", m_nVendorId, m_nProductId) +
        Format("A: idVendor=%04x\nA: idProduct=%04x\n", m_nVendorId, m_nProductId) + "A: busnum=1\n" +
        Format("A: devnum=%d\nA: dev=189:%d\n", m_nDevNum, m_nDevNum - 1) +
        (m_strSerial.isEmpty() ? std::string() : "A: serial=" + m_strSerial.toStdString() + "\n");
    umockdev_testbed_add_from_string(testbed, record.c_str(), &error);
    ThrowOnError(error, "cannot add the emulated USB device");
    m_sysPath = QString::fromStdString("/sys" + devPath);
}

void CEmuUsbDevice::Unplug() {
    if (!IsPlugged() || !m_pTestbed)
        return;
    UMockdevTestbed* testbed = m_pTestbed->m_impl->testbed;
    const QByteArray sysPath = m_sysPath.toUtf8();
    umockdev_testbed_uevent(testbed, sysPath.constData(), "remove");
    GError* error = nullptr;
    umockdev_testbed_detach_ioctl(testbed, DevNode().toUtf8().constData(), &error);
    g_clear_error(&error);
    umockdev_testbed_remove_device(testbed, sysPath.constData());
    m_handler->gone = true;
    m_pTestbed->m_impl->retired.push_back(std::move(m_handler));
    m_sysPath.clear();
}
