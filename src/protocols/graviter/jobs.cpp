#include "protocols/graviter/jobs.hpp"

#include <string>
#include <vector>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/flymaster/link_session.hpp"
#include "protocols/graviter/flight_chain.hpp"
#include "protocols/graviter/link_session.hpp"
#include "protocols/graviter/product_line.hpp"
#include "protocols/identity_sink.hpp"

namespace orlogix::graviter {

namespace {

constexpr const char* kReadTitle = "Read GPS track log";
constexpr const char* kNameTitle = "Upload user name";
constexpr int kBeforeCommandMs = 300;
constexpr int kDumpEndMs = 2000;         // silence after which the dump is whole
constexpr int kAcknowledgeMs = 1000;
constexpr int kDrainMs = 100;
constexpr std::size_t kProgressStep = 2000;

using flymaster::ReadEnd;
using flymaster::read_instrument;

// The dump as it comes, until the instrument falls silent. 0, or -1 after reporting.
int receive_dump(JobContext& ctx, std::vector<uint8_t>& dump) {
    bool overflow = false;
    const ReadEnd end = read_instrument(ctx, 400, kDumpEndMs, 0, [&](uint8_t b) {
        if (dump.size() >= kMaxDumpBytes) return !(overflow = true);
        dump.push_back(b);
        if (dump.size() % kProgressStep == 0) {
            job_status(ctx, format_counts("% bytes received", static_cast<long long>(dump.size())));
            ctx.reporter.progress_bytes(static_cast<long long>(dump.size()));
        }
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return job_error(ctx, "E203 COM port read error", kReadTitle), -1;
    if (overflow) return job_error(ctx, "E206 Serial data buffer overflow", kReadTitle), -1;
    job_status(ctx, format_counts("% bytes received", static_cast<long long>(dump.size())));
    return 0;
}

// The notice for each flight that brought no position, until the pilot ticks
// the box that silences the rest.
void notify_empty_flights(JobContext& ctx, const std::vector<Flight>& flights) {
    for (const Flight& f : flights) {
        if (f.header.type != kTypeTrack || f.positions > 0) continue;
        const FlightHeader& h = f.header;
        const std::string text =
            strformat("The track log starting at %d-%02d-%02d  %02d:%02d does not contain any valid GPS positions",
                      h.year, h.month, h.day, h.hour, h.minute);
        if (ctx.reporter.notice_with_check("No log positions", text, "&Skip further notifications")) return;
    }
}

}  // namespace

int read_track_log_job(JobContext& ctx) {
    if (open_and_identify(ctx) < 0) return -1;
    identity_sink(ctx);   // no waypoint memory: the pilot's IDs are "none"
    job_status(ctx, "Requesting track log");
    if (!ctx.pause_ms(kBeforeCommandMs)) return job_aborted(ctx);
    if (write_text(ctx, kDumpRequest) < 0) return job_error(ctx, "E201 COM port write error", kReadTitle), -1;
    std::vector<uint8_t> dump;
    dump.reserve(kMaxDumpBytes);
    if (receive_dump(ctx, dump) < 0) return -1;

    const MemoryView memory(dump);
    DecodedDump decoded = decode_dump(memory);
    notify_empty_flights(ctx, decoded.flights);
    if (decoded.error) return job_error(ctx, strformat("E205 Format error %d", decoded.error), kReadTitle), -1;

    JobResult& r = ctx.result;
    mark_downloaded_track(ctx, {InstrumentFamily::Graviter});
    r.track_log.positions = std::move(decoded.positions);
    job_status(ctx, format_counts("% points received", static_cast<long long>(r.track_log.positions.size())));
    return 1;
}

int write_owner_name_job(JobContext& ctx) {
    // Nothing prepared would blank the name in the instrument.
    if (ctx.params.pilot.pilot_name.empty()) return job_error(ctx, "Missing input", kNameTitle), -1;
    if (open_and_identify(ctx) < 0) return -1;
    if (!ctx.pause_ms(kBeforeCommandMs)) return job_aborted(ctx);
    if (write_text(ctx, kNameAcknowledgeRequest) < 0) return job_error(ctx, "E300 COM port write error", kNameTitle), -1;
    int first = -1;
    ReadEnd end = read_instrument(ctx, 100, 0, kAcknowledgeMs, [&](uint8_t b) {
        first = b;
        return false;
    });
    if (end == ReadEnd::Stopped) end = read_instrument(ctx, 100, kDrainMs, 0, [](uint8_t) { return true; });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return job_error(ctx, "E301 COM port read error", kNameTitle), -1;
    if (first < 0) return job_error(ctx, "E302 Missing command acknowledge", kNameTitle), -1;
    if (first != '!') return job_error(ctx, "E303 Bad command acknowledge", kNameTitle), -1;
    const std::string name = owner_name_bytes(ctx.params.pilot.pilot_name);
    for (std::size_t i = 0; i < name.size(); ++i) {
        const std::string command =
            memory_write(kOwnerNameAddress + static_cast<uint32_t>(i), static_cast<uint8_t>(name[i]));
        if (write_text(ctx, command) < 0) return job_error(ctx, "E304 COM port write error", kNameTitle), -1;
    }
    job_status(ctx, "Name sent (no verification)");
    return 0;
}

void register_graviter_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::Graviter, read_track_log_job);
    registry.add(AccessType::WritePilotData, Routine::Graviter, write_owner_name_job);
}

}  // namespace orlogix::graviter
