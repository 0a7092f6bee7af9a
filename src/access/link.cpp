#include "access/link.hpp"

#include "access/instrument_catalogue.hpp"
#include "access/job_context.hpp"
#include "access/port_list.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {
constexpr int kSettlePauseMs = 100;
constexpr int kRetryPauseMs = 1000;
constexpr int kBaudPauseMs = 200;

// The port as configured and, when that is a number, the device it stood for.
std::string port_and_device(const std::string& port, const std::string& device) {
    if (device == port) return port;
    return port + " (" + (device.empty() ? std::string("not among the serial ports found") : device) + ")";
}
}  // namespace

int connect_serial(JobContext& ctx, int baud, bool xon_xoff) {
    const int attempts = ctx.options.connect_attempts();
    bool set_up_failed = false;
    std::string device;
    for (int i = 0; i < attempts; ++i) {
        if (ctx.aborted()) return job_aborted(ctx);
        // Resolved on every attempt: a receiver plugged in late still gets found.
        Link& link = ctx.link();
        device = link.device_for(ctx.port_name, ctx.device_roots);
        if (!device.empty() && link.open(device) == 0) {
            ctx.pause_ms(kSettlePauseMs);
            if (link.configure(baud, xon_xoff) != 0 || link.purge() != 0) {
                link.close();
                set_up_failed = true;
                break;
            }
            ctx.pause_ms(kSettlePauseMs);
            return 0;
        }
        job_status(ctx, format_counts("Connecting to GPS (%)", attempts - i));
        if (!ctx.pause_ms(kRetryPauseMs)) return job_aborted(ctx);
    }
    job_error(ctx,
              set_up_failed ? "Error while initialising port" : "Could not open serial port (sure it's the right one ?)",
              strformat("Connecting to GPS on %s", port_and_device(ctx.port_name, device).c_str()));
    return -1;
}

int set_baud(JobContext& ctx, int baud) {
    static constexpr std::string_view kTitle = "Initialising COM port";
    Link& link = ctx.link();
    if (!link.is_open()) {
        job_error(ctx, "Error getting COM port state", kTitle);
        return -1;
    }
    if (link.configure(baud, instrument_uses_xon_xoff(ctx.protocol_type)) != 0) {
        job_error(ctx, "Error setting COM port state", kTitle);
        return -1;
    }
    if (link.purge() != 0) {
        job_error(ctx, "Error purging COM port buffers", kTitle);
        return -1;
    }
    ctx.pause_ms(kBaudPauseMs);
    return 0;
}

int write_bytes(JobContext& ctx, const void* data, std::size_t count) {
    return ctx.link().write(static_cast<const uint8_t*>(data), count);
}

int write_text(JobContext& ctx, std::string_view text) { return write_bytes(ctx, text.data(), text.size()); }

int read_bytes(JobContext& ctx, uint8_t* buffer, std::size_t max) { return ctx.link().read(buffer, max); }

}  // namespace orlogix
