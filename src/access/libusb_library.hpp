#pragma once
// libusb, loaded the first time a USB port is used rather than at every
// start of the program: most runs never touch USB, and loading it (with the
// udev library it brings) was a good part of a short command's start.
#include <libusb.h>

#include <string>

namespace orlogix {

struct LibusbLibrary {
    decltype(&libusb_init) init;
    decltype(&libusb_exit) exit;
    decltype(&libusb_get_version) get_version;
    decltype(&libusb_strerror) strerror;
    decltype(&libusb_get_device_list) get_device_list;
    decltype(&libusb_free_device_list) free_device_list;
    decltype(&libusb_get_device_descriptor) get_device_descriptor;
    decltype(&libusb_get_bus_number) get_bus_number;
    decltype(&libusb_get_device_address) get_device_address;
    decltype(&libusb_open) open;
    decltype(&libusb_close) close;
    decltype(&libusb_set_auto_detach_kernel_driver) set_auto_detach_kernel_driver;
    decltype(&libusb_claim_interface) claim_interface;
    decltype(&libusb_release_interface) release_interface;
    decltype(&libusb_get_active_config_descriptor) get_active_config_descriptor;
    decltype(&libusb_free_config_descriptor) free_config_descriptor;
    decltype(&libusb_interrupt_transfer) interrupt_transfer;
    decltype(&libusb_bulk_transfer) bulk_transfer;
};

// The library's functions, loaded once; nullptr when it cannot be loaded,
// with why it could not in libusb_load_error().
const LibusbLibrary* libusb_library();
std::string libusb_load_error();

}  // namespace orlogix
