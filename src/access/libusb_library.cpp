#include "access/libusb_library.hpp"

#include <dlfcn.h>

#include <mutex>

namespace orlogix {

namespace {

// The name the runtime package installs (libusb-1.0-0), as the linker would record it.
constexpr const char* kLibraryName = "libusb-1.0.so.0";

struct Loaded {
    LibusbLibrary functions{};
    bool ok = false;
    std::string error;
};

template <typename F>
bool resolve(void* library, const char* name, F& function, std::string& error) {
    function = reinterpret_cast<F>(dlsym(library, name));
    if (function == nullptr && error.empty()) error = std::string(kLibraryName) + " lacks " + name;
    return function != nullptr;
}

const Loaded& loaded() {
    static Loaded once;
    static std::once_flag flag;
    std::call_once(flag, [] {
        // Kept loaded for the rest of the run: transports come and go.
        void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = dlerror();
            once.error = why != nullptr ? why : std::string("cannot load ") + kLibraryName;
            return;
        }
        LibusbLibrary& f = once.functions;
        std::string& e = once.error;
        bool ok = true;
        ok &= resolve(library, "libusb_init", f.init, e);
        ok &= resolve(library, "libusb_exit", f.exit, e);
        ok &= resolve(library, "libusb_get_version", f.get_version, e);
        ok &= resolve(library, "libusb_strerror", f.strerror, e);
        ok &= resolve(library, "libusb_get_device_list", f.get_device_list, e);
        ok &= resolve(library, "libusb_free_device_list", f.free_device_list, e);
        ok &= resolve(library, "libusb_get_device_descriptor", f.get_device_descriptor, e);
        ok &= resolve(library, "libusb_get_bus_number", f.get_bus_number, e);
        ok &= resolve(library, "libusb_get_device_address", f.get_device_address, e);
        ok &= resolve(library, "libusb_open", f.open, e);
        ok &= resolve(library, "libusb_close", f.close, e);
        ok &= resolve(library, "libusb_set_auto_detach_kernel_driver", f.set_auto_detach_kernel_driver, e);
        ok &= resolve(library, "libusb_claim_interface", f.claim_interface, e);
        ok &= resolve(library, "libusb_release_interface", f.release_interface, e);
        ok &= resolve(library, "libusb_get_active_config_descriptor", f.get_active_config_descriptor, e);
        ok &= resolve(library, "libusb_free_config_descriptor", f.free_config_descriptor, e);
        ok &= resolve(library, "libusb_interrupt_transfer", f.interrupt_transfer, e);
        ok &= resolve(library, "libusb_bulk_transfer", f.bulk_transfer, e);
        once.ok = ok;
    });
    return once;
}

}  // namespace

const LibusbLibrary* libusb_library() {
    const Loaded& l = loaded();
    return l.ok ? &l.functions : nullptr;
}

std::string libusb_load_error() { return loaded().error; }

}  // namespace orlogix
