#pragma once

// The library's own types stay opaque here: only the sources that walk the bus lists or call the library
// include <usb.h>, so nothing above the reader layer sees libusb.
struct usb_bus;
struct usb_device;
struct usb_dev_handle;

// The seven libusb 0.1 calls the reader layer makes, gathered in one table so that a test can put an
// in-process bus in place of the real library. The default table calls libusb itself.
struct UsbApi {
    void (*init)();
    int (*findBusses)();
    int (*findDevices)();
    struct usb_bus* (*getBusses)();
    usb_dev_handle* (*open)(struct usb_device* device);
    int (*controlMsg)(usb_dev_handle* handle, int requestType, int request, int value, int index, char* bytes,
                      int size, int timeout);
    int (*close)(usb_dev_handle* handle);
};

// The table of the real libusb.
const UsbApi& RealUsbApi();

// The table the reader layer calls through.
const UsbApi& CurrentUsbApi();

// Puts another table in place and returns the one it replaces.
UsbApi InstallUsbApi(const UsbApi& api);
