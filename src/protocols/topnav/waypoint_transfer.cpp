#include "protocols/topnav/waypoint_transfer.hpp"

#include "access/instrument_catalogue.hpp"
#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/topnav/line_reader.hpp"
#include "protocols/topnav/push_reader.hpp"
#include "protocols/topnav/waypoints.hpp"

namespace orlogix::topnav {

namespace {

constexpr const char* kReadTitle = "Read GPS waypoints";
constexpr int kWaypointBaud = 9600;
constexpr int kSilenceMs = 10000;
constexpr int kBetweenPacketsMs = 400;

int open_port(JobContext& ctx) {
    const InstrumentKind* kind = find_instrument(ctx.protocol_type);
    return connect_serial(ctx, kWaypointBaud, kind && kind->xon_xoff);
}

int fail(JobContext& ctx, const std::string& text) {
    job_error(ctx, text, kReadTitle);
    return -1;
}

int read_failed(JobContext& ctx, int got) {
    if (got == PushReader::kAborted) return job_aborted(ctx);
    return fail(ctx, "E301 COM port read error");
}

void received(JobContext& ctx, std::vector<Waypoint>& list, Waypoint w, uint32_t now) {
    w.time = now;
    list.push_back(std::move(w));
    const int n = static_cast<int>(list.size());
    job_status(ctx, format_counts("% waypoints received", n));
    ctx.reporter.notify(strformat("Waypoint count %d", n));
}

// The end of a read: the waypoints, or "Transfer aborted" when none came.
int finish(JobContext& ctx, std::vector<Waypoint>& list) {
    if (list.empty()) return job_aborted(ctx);
    ctx.result.waypoints = std::move(list);
    return 0;
}

}  // namespace

int read_waypoint_lines_job(JobContext& ctx) {
    if (open_port(ctx) < 0) return -1;
    job_product(ctx, "Top Navigator");
    job_status(ctx, "Waiting for data");
    const uint32_t now = time_now();
    std::vector<Waypoint> list;
    list.reserve(30);
    PushReader in(ctx);
    LineReader lines;
    std::string chunk;
    for (;;) {
        const int got = in.next(chunk, kForever, kSilenceMs);
        if (got == PushReader::kSilence) return fail(ctx, "Transfer aborted");
        if (got < 0) return read_failed(ctx, got);
        for (const char c : chunk) {
            const auto line = lines.feed(static_cast<uint8_t>(c));
            if (line == LineReader::Result::TooLong) return fail(ctx, format_counts("E302 Format error %", 1));
            if (line != LineReader::Result::Line) continue;
            if (write_text(ctx, kWaypointAck) < 0) return fail(ctx, "E304 COM port write error");
            if (lines.line() == "@EOF") return finish(ctx, list);
            if (auto w = parse_waypoint_line(lines.line())) received(ctx, list, std::move(*w), now);
        }
    }
}

int read_waypoint_packets_job(JobContext& ctx) {
    if (open_port(ctx) < 0) return -1;
    job_product(ctx, "XC Trainer");
    job_status(ctx, "Waiting for data");
    const uint32_t now = time_now();
    std::vector<Waypoint> list;
    list.reserve(30);
    PushReader in(ctx);
    std::string packet;
    std::string chunk;
    for (;;) {
        const int got = in.next(chunk, kSilenceMs, kSilenceMs);
        if (got == PushReader::kSilence) {
            // A packet left unfinished was cut on its way.
            if (!packet.empty()) return fail(ctx, format_counts("E302 Format error %", 1));
            return finish(ctx, list);
        }
        if (got < 0) return read_failed(ctx, got);
        for (const char c : chunk) {
            packet.push_back(c);
            if (packet.size() < kPacketSize) continue;
            Waypoint w;
            const int e = decode_waypoint_packet(reinterpret_cast<const uint8_t*>(packet.data()), w);
            packet.clear();
            if (e != 0) return fail(ctx, format_counts("E302 Format error %", e));
            if (write_text(ctx, kWaypointAck) < 0) return fail(ctx, "E304 COM port write error");
            received(ctx, list, std::move(w), now);
        }
    }
}

int write_waypoints_job(JobContext& ctx) {
    if (open_port(ctx) < 0) return -1;
    job_product(ctx, "TopNav");
    const std::vector<Waypoint>& all = ctx.params.waypoints;
    const int total = static_cast<int>(all.size());
    auto stopped = [&](int sent) {
        job_status(ctx, format_counts("% waypoints sent", sent));
        return -1;
    };
    for (int i = 0; i < total; ++i) {
        if (ctx.aborted()) return job_aborted(ctx), stopped(i);
        const WaypointPacket p = encode_waypoint_packet(all[static_cast<std::size_t>(i)]);
        if (write_bytes(ctx, p.data(), p.size()) < 0) {
            job_error(ctx, "E401 COM port write error", "Upload waypoints");
            return stopped(i);
        }
        job_status(ctx, format_counts("Waypoint % sent", i + 1));
        ctx.reporter.notify(format_counts("Sent wpt %/%", i + 1, total));
        if (!ctx.pause_ms(kBetweenPacketsMs)) return job_aborted(ctx), stopped(i + 1);
    }
    job_status(ctx, format_counts("% waypoints sent", total));
    return 0;
}

}  // namespace orlogix::topnav
