#include "emulator/FakeUsbBus.h"

#include "reader/ReaderIdentity.h"
#include "reader/USBDevice.h"

#include <usb.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>

struct CFakeUsbBus::Device {
    int id = 0;
    int bus = 0;
    int vendorId = 0;
    int productId = 0;
    bool plugged = true;
    int opens = 0;
    std::shared_ptr<CEmulatedReader> reader;
};

// What a fake usb_dev_handle points to.
struct CFakeUsbBus::Handle {
    Device* device = nullptr;
};

CFakeUsbBus* CFakeUsbBus::s_pActive = nullptr;

CFakeUsbBus::CFakeUsbBus(int busCount) : m_busses(static_cast<std::size_t>(busCount < 1 ? 1 : busCount)) {
    if (s_pActive)
        throw std::logic_error("only one fake USB bus may exist at a time");
    s_pActive = this;
    m_previousApi = InstallUsbApi(UsbApi{Init, FindBusses, FindDevices, GetBusses, Open, ControlMsg, Close});
    SetReaderLockFolder(m_lockFolder.path().toStdString()); // its readers are this process's alone
    for (std::size_t i = 0; i < m_busses.size(); ++i)
        std::snprintf(m_busses[i].dirname, sizeof m_busses[i].dirname, "%03zu", i + 1);
    RebuildLists();
}

CFakeUsbBus::~CFakeUsbBus() {
    // A reader handle from this bus must not outlive it: the real library would be asked to close it.
    if (m_openHandles.count(reinterpret_cast<Handle*>(CUSBDevice::ReaderHandle())))
        CUSBDevice::StoreReaderHandle(nullptr);
    InstallUsbApi(m_previousApi);
    SetReaderLockFolder(std::string());
    s_pActive = nullptr;
}

int CFakeUsbBus::AddDevice(int vendorId, int productId, int bus, std::shared_ptr<CEmulatedReader> reader) {
    if (bus < 0 || bus >= static_cast<int>(m_busses.size()))
        throw std::out_of_range("no such fake bus");
    auto device = std::make_unique<Device>();
    device->id = m_nNextId++;
    device->bus = bus;
    device->vendorId = vendorId;
    device->productId = productId;
    device->reader = reader ? std::move(reader) : std::make_shared<CEmulatedReader>(false);
    m_devices.push_back(std::move(device));
    return m_devices.back()->id;
}

CEmulatedReader& CFakeUsbBus::AddReader(int bus) {
    return Reader(AddDevice(READER_VENDOR_ID, READER_PRODUCT_ID, bus, std::make_shared<CEmulatedReader>()));
}

CEmulatedReader& CFakeUsbBus::Reader(int deviceId) {
    return *m_devices.at(static_cast<std::size_t>(deviceId))->reader;
}

void CFakeUsbBus::Unplug(int deviceId) {
    m_devices.at(static_cast<std::size_t>(deviceId))->plugged = false;
}

int CFakeUsbBus::OpenCount(int deviceId) const {
    return m_devices.at(static_cast<std::size_t>(deviceId))->opens;
}

// The lists as the library keeps them: what the last scan found, in the order devices were added.
void CFakeUsbBus::RebuildLists() {
    m_listed.clear();
    for (std::size_t b = 0; b < m_busses.size(); ++b) {
        m_busses[b].devices = nullptr;
        m_busses[b].next = b + 1 < m_busses.size() ? &m_busses[b + 1] : nullptr;
        m_busses[b].prev = b > 0 ? &m_busses[b - 1] : nullptr;
    }
    std::vector<struct usb_device*> last(m_busses.size(), nullptr);
    for (const auto& device : m_devices) {
        if (!device->plugged)
            continue;
        struct usb_device& listed = m_listed.emplace_back();
        std::snprintf(listed.filename, sizeof listed.filename, "%03d", device->id + 2);
        listed.bus = &m_busses[static_cast<std::size_t>(device->bus)];
        listed.descriptor.idVendor = static_cast<std::uint16_t>(device->vendorId);
        listed.descriptor.idProduct = static_cast<std::uint16_t>(device->productId);
        listed.dev = device.get();
        struct usb_device*& tail = last[static_cast<std::size_t>(device->bus)];
        listed.prev = tail;
        if (tail)
            tail->next = &listed;
        else
            listed.bus->devices = &listed;
        tail = &listed;
    }
}

void CFakeUsbBus::Init() {
    ++s_pActive->m_nInit;
}

int CFakeUsbBus::FindBusses() {
    return 0;
}

int CFakeUsbBus::FindDevices() {
    ++s_pActive->m_nScan;
    s_pActive->RebuildLists();
    return 0;
}

struct usb_bus* CFakeUsbBus::GetBusses() {
    return s_pActive->m_busses.data();
}

usb_dev_handle* CFakeUsbBus::Open(struct usb_device* device) {
    auto* owner = static_cast<Device*>(device->dev);
    ++owner->opens;
    auto handle = std::make_unique<Handle>();
    handle->device = owner;
    Handle* raw = handle.get();
    s_pActive->m_allHandles.push_back(std::move(handle));
    s_pActive->m_openHandles.insert(raw);
    return reinterpret_cast<usb_dev_handle*>(raw);
}

int CFakeUsbBus::ControlMsg(usb_dev_handle* handle, int requestType, int request, int value, int index,
                            char* bytes, int size, int timeout) {
    auto* raw = reinterpret_cast<Handle*>(handle);
    if (!raw) {
        ++s_pActive->m_nNullHandleTransfers;
        return -EFAULT;
    }
    if (!s_pActive->m_openHandles.count(raw))
        return -EBADF;
    ++s_pActive->m_nTransfers;
    s_pActive->m_nLastTimeout = timeout;
    if (!raw->device->plugged)
        return -ENODEV;
    return raw->device->reader->HandleControl(requestType, request, value, index,
                                              reinterpret_cast<std::uint8_t*>(bytes), size);
}

int CFakeUsbBus::Close(usb_dev_handle* handle) {
    ++s_pActive->m_nClose;
    return s_pActive->m_openHandles.erase(reinterpret_cast<Handle*>(handle)) ? 0 : -EBADF;
}
