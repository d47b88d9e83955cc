#include "platform/UsbApi.h"

#include <usb.h>

namespace {

const UsbApi kRealUsbApi = {
    usb_init, usb_find_busses, usb_find_devices, usb_get_busses, usb_open, usb_control_msg, usb_close,
};

UsbApi g_currentUsbApi = kRealUsbApi;

} // namespace

const UsbApi& RealUsbApi() {
    return kRealUsbApi;
}

const UsbApi& CurrentUsbApi() {
    return g_currentUsbApi;
}

UsbApi InstallUsbApi(const UsbApi& api) {
    UsbApi previous = g_currentUsbApi;
    g_currentUsbApi = api;
    return previous;
}
