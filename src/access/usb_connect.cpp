#include "access/usb_connect.hpp"

#include <string>
#include <vector>

#include "access/debug_trace.hpp"
#include "access/job_context.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {

constexpr int kSettlePauseMs = 100;
constexpr int kRetryPauseMs = 1000;
constexpr const char* kSearchTitle = "Searching for USB device names";

void trace_line(std::string_view text) {
    trace_text(text);
    trace_text("\r\n");
}

}  // namespace

int connect_usb(JobContext& ctx, UsbTransport& usb) {
    const int attempts = ctx.options.connect_attempts();
    for (int i = 0; i < attempts; ++i) {
        job_status(ctx, format_counts("Connecting to GPS (%)", attempts - i));
        if (ctx.aborted()) return job_aborted(ctx);
        std::vector<std::string> paths;
        std::string why;
        if (usb.find_devices(paths, why) < 0) {
            job_error(ctx, why, kSearchTitle);
            return -1;
        }
        if (paths.empty()) {
            job_error(ctx, "No device interface GUID match", kSearchTitle);
            return -1;
        }
        for (const std::string& path : paths) {
            trace_line("USB device name:");
            trace_line(path);
            if (usb.open(path, why) == 0) {
                ctx.pause_ms(kSettlePauseMs);
                return 0;
            }
            // Busy or not permitted: the trace says which.
            trace_line(why);
        }
        if (!ctx.pause_ms(kRetryPauseMs)) return job_aborted(ctx);
    }
    job_error(ctx, "Could not open USB port", "Connecting to GPS");
    return -1;
}

}  // namespace orlogix
