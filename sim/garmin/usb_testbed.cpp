#include "sim/garmin/usb_testbed.hpp"

#if ORLOGIX_WITH_UMOCKDEV
#include <sys/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <sys/wait.h>
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <cstdio>
#include <deque>

namespace orlogix::sim {

namespace {

constexpr const char* kDevice = "/dev/bus/usb/001/002";
constexpr unsigned char kBulkIn = 0x81, kBulkOut = 0x02, kInterruptIn = 0x83;
constexpr std::size_t kMaxPacket = 64;   // of every endpoint

// The receiver as a program sees it in sysfs: a vendor-class device with
// one interface of three endpoints (bulk IN, bulk OUT, interrupt IN).
constexpr const char* kDeviceRecord =
    "P: /devices/pci0000:00/0000:00:1d.0/usb1/1-1\n"
    "N: bus/usb/001/002\n"
    "E: DEVNAME=/dev/bus/usb/001/002\n"
    "E: DEVTYPE=usb_device\n"
    "E: SUBSYSTEM=usb\n"
    "E: BUSNUM=001\n"
    "E: DEVNUM=002\n"
    "E: PRODUCT=91e/3/100\n"
    "A: busnum=1\n"
    "A: devnum=2\n"
    "A: idVendor=091e\n"
    "A: idProduct=0003\n"
    "A: bDeviceClass=ff\n"
    "A: speed=12\n"
    "A: bConfigurationValue=1\n"
    "A: bNumConfigurations=1\n"
    "A: manufacturer=Garmin International\n"
    "A: product=GPS\n"
    // device, configuration, interface, endpoints 0x81 bulk, 0x02 bulk, 0x83 interrupt
    "H: descriptors=12010002ffffff401e0903000001000000010902270001010"
    "0c0320904000003ffffff00070581024000000705020240000007058303400001\n";

struct Urb {
    UMockdevIoctlData* urb = nullptr;      // the program's usbdevfs_urb
    UMockdevIoctlData* buffer = nullptr;   // its data buffer
};

class UsbfsHost {
public:
    UsbfsHost(GarminUsbConfig config, ReportSink report) : usb_(std::move(config)), report_(std::move(report)) {
        std::string why;
        usb_.open("usb:001:002", why);
    }
    ~UsbfsHost() {
        for (Urb& u : pending_) release(u);
        for (Urb& u : done_) release(u);
    }

    gboolean handle(UMockdevIoctlClient* client) {
        const gulong request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        long result = 0;
        int error = 0;
        switch (request) {
            case USBDEVFS_GET_CAPABILITIES: {
                uint32_t caps = USBDEVFS_CAP_ZERO_PACKET;
                UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof caps, nullptr);
                if (out) umockdev_ioctl_data_update(out, 0, reinterpret_cast<guint8*>(&caps), sizeof caps);
                else error = EFAULT;
                break;
            }
            case USBDEVFS_SUBMITURB: error = submit(arg); break;
            case USBDEVFS_REAPURB:
            case USBDEVFS_REAPURBNDELAY: error = reap(arg); break;
            case USBDEVFS_DISCARDURB: error = discard(arg); break;
            case USBDEVFS_GETDRIVER: error = ENODATA; break;   // no kernel driver holds it
            default: break;   // claim, release, disconnect, set interface, clear halt: nothing to do
        }
        if (error != 0) result = -1;
        umockdev_ioctl_client_complete(client, result, error);
        return TRUE;
    }

private:
    static void release(Urb& u) {
        if (u.buffer) g_object_unref(u.buffer);
        if (u.urb) g_object_unref(u.urb);
    }
    static usbdevfs_urb* fields(const Urb& u) { return reinterpret_cast<usbdevfs_urb*>(u.urb->data); }
    // Only the two fields the host fills: the buffer's address stays the test bed's to translate.
    static void finish(Urb& u, int status, int actual) {
        umockdev_ioctl_data_update(u.urb, offsetof(usbdevfs_urb, status), reinterpret_cast<guint8*>(&status),
                                   sizeof status);
        umockdev_ioctl_data_update(u.urb, offsetof(usbdevfs_urb, actual_length), reinterpret_cast<guint8*>(&actual),
                                   sizeof actual);
    }

    int submit(UMockdevIoctlData* arg) {
        // The argument holds the address of the program's URB, which holds the buffer's.
        Urb u;
        GError* e = nullptr;
        u.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), &e);
        if (!u.urb) {
            g_clear_error(&e);
            return EFAULT;
        }
        g_object_ref(u.urb);
        const usbdevfs_urb* f = fields(u);
        if (f->buffer_length > 0) {
            u.buffer = umockdev_ioctl_data_resolve(u.urb, offsetof(usbdevfs_urb, buffer),
                                                   static_cast<gsize>(f->buffer_length), &e);
            if (!u.buffer) {
                g_clear_error(&e);
                release(u);
                return EFAULT;
            }
            g_object_ref(u.buffer);
        }
        if (f->endpoint == kBulkOut) {
            const std::size_t n = static_cast<std::size_t>(f->buffer_length);
            usb_.bulk_write(u.buffer ? u.buffer->data : nullptr, n, 0);
            for (; reported_ < usb_.reports.size(); ++reported_)
                if (report_) report_(usb_.reports[reported_]);
            finish(u, 0, static_cast<int>(n));
            done_.push_back(u);
        } else if (f->endpoint == kBulkIn || f->endpoint == kInterruptIn) {
            pending_.push_back(u);
        } else {
            release(u);
            return EINVAL;
        }
        return 0;
    }

    // Fills the pending reads the receiver has something for. As on the bus,
    // a read takes 64-byte packets until a shorter or zero-length one ends
    // it or its buffer is full.
    void serve_reads() {
        for (auto it = pending_.begin(); it != pending_.end();) {
            const usbdevfs_urb* f = fields(*it);
            const std::size_t room = static_cast<std::size_t>(f->buffer_length);
            std::vector<uint8_t> data(room);
            std::size_t got = 0;
            int status = 0;
            bool came = false;
            for (;;) {
                const UsbTransfer t = f->endpoint == kBulkIn ? usb_.bulk_read(data.data() + got, room - got, 0)
                                                             : usb_.interrupt_read(data.data() + got, room - got, 0);
                if (t.status == UsbStatus::TimedOut) break;
                came = true;
                if (t.status != UsbStatus::Done && t.status != UsbStatus::ZeroLength) {
                    status = t.status == UsbStatus::Overflow ? -EOVERFLOW : -EPIPE;
                    break;
                }
                got += t.bytes;
                if (t.bytes == 0 || t.bytes % kMaxPacket != 0 || got == room) break;
            }
            if (!came) {
                ++it;
                continue;
            }
            if (got > 0) umockdev_ioctl_data_update(it->buffer, 0, data.data(), static_cast<gint>(got));
            finish(*it, status, static_cast<int>(got));
            done_.push_back(*it);
            it = pending_.erase(it);
        }
    }

    int reap(UMockdevIoctlData* arg) {
        serve_reads();
        if (done_.empty()) return EAGAIN;
        Urb u = done_.front();
        done_.pop_front();
        // The argument is where the program wants the reaped URB's address.
        UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        if (!out) {
            done_.push_front(u);
            return EFAULT;
        }
        umockdev_ioctl_data_set_ptr(out, 0, u.urb);
        release(u);
        return 0;
    }

    int discard(UMockdevIoctlData* arg) {
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            // The argument is the URB's address itself.
            gulong address = 0;
            if (arg->data_len >= static_cast<gint>(sizeof address)) std::memcpy(&address, arg->data, sizeof address);
            if (it->urb->client_addr != address && it->urb->client_addr != arg->client_addr) continue;
            finish(*it, -ENOENT, 0);
            done_.push_back(*it);
            pending_.erase(it);
            return 0;
        }
        return EINVAL;
    }

    GarminUsbReceiver usb_;
    ReportSink report_;
    std::size_t reported_ = 0;
    std::deque<Urb> pending_, done_;
};

gboolean on_ioctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer host) {
    return static_cast<UsbfsHost*>(host)->handle(client);
}

struct ChildEnd {
    GMainLoop* loop;
    int status = -1;
};

void on_child_end(GPid, gint status, gpointer data) {
    auto* end = static_cast<ChildEnd*>(data);
    end->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    g_main_loop_quit(end->loop);
}

}  // namespace

int run_under_usb_testbed(GarminUsbConfig config, const std::vector<std::string>& command, const ReportSink& report,
                          std::string& why) {
    if (command.empty()) {
        why = "no command to run";
        return -1;
    }
    UMockdevTestbed* testbed = umockdev_testbed_new();
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    UsbfsHost host(std::move(config), report);
    GError* error = nullptr;
    int result = -1;
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(on_ioctl), &host);
    if (!umockdev_testbed_add_from_string(testbed, kDeviceRecord, &error) ||
        !umockdev_testbed_attach_ioctl(testbed, kDevice, handler, &error)) {
        why = error ? error->message : "umockdev test bed failed";
    } else {
        std::vector<char*> argv;
        for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // The program sees the test bed through umockdev's preload library.
        gchar** env = g_get_environ();
        const char* preload = g_environ_getenv(env, "LD_PRELOAD");
        const std::string libraries = std::string("libumockdev-preload.so.0") + (preload ? std::string(" ") + preload : "");
        env = g_environ_setenv(env, "LD_PRELOAD", libraries.c_str(), TRUE);
        // A program built with AddressSanitizer refuses to start when a preloaded
        // library comes before its runtime; umockdev's only wraps the device
        // calls, so the sanitizer is told not to check the order.
        const char* asan = g_environ_getenv(env, "ASAN_OPTIONS");
        const std::string asan_options = (asan && *asan ? std::string(asan) + ":" : std::string()) +
                                         "verify_asan_link_order=0";
        env = g_environ_setenv(env, "ASAN_OPTIONS", asan_options.c_str(), TRUE);
        GPid pid = 0;
        const gboolean spawned = g_spawn_async(nullptr, argv.data(), env,
                           static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH |
                                                    G_SPAWN_CHILD_INHERITS_STDIN),
                           nullptr, nullptr, &pid, &error);
        g_strfreev(env);
        if (!spawned) {
            why = error->message;
        } else {
            ChildEnd end{g_main_loop_new(nullptr, FALSE)};
            g_child_watch_add(pid, on_child_end, &end);
            g_main_loop_run(end.loop);
            g_main_loop_unref(end.loop);
            g_spawn_close_pid(pid);
            result = end.status;
        }
    }
    g_clear_error(&error);
    g_object_unref(handler);
    g_object_unref(testbed);
    return result;
}

}  // namespace orlogix::sim

#else

namespace orlogix::sim {

int run_under_usb_testbed(GarminUsbConfig, const std::vector<std::string>&, const ReportSink&, std::string& why) {
    why = "orlogix-sim was built without umockdev (scripts/install-deps installs it)";
    return -1;
}

}  // namespace orlogix::sim

#endif
