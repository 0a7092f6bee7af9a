#include "protocols/mlr/fast_transfer.hpp"

#include <span>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/mlr/frames.hpp"
#include "protocols/mlr/link_session.hpp"

namespace orlogix::mlr {

namespace {

constexpr int kSilenceMs = 10000;
constexpr int kStartWaitMs = 300;
constexpr int kEndWaitMs = 200;

// The texts of one kind of transfer.
struct Texts {
    const char* caption;
    const char* requesting;
    const char* write_error;
    const char* read_error;
    const char* timeout;
    const char* format_error;
    const char* second_start;
    const char* sequence;
    const char* end_sequence;
    std::string_view start;
    const FrameRules* rules;
};
constexpr Texts kTrack{"Read GPS track log", "Requesting track log", "E201 COM port write error",
                       "E202 COM port read error", "E210 Track log data timeout", "E208 Format error %",
                       "E203 Bad sentence type sequence", "E204 Bad sentence sequence", "E205 Bad sentence sequence",
                       kTrackStart, &kMlrTrackFrames};
constexpr Texts kWaypoints{"Read GPS waypoints", "Requesting waypoints", "E301 COM port write error",
                           "E302 COM port read error", "E310 Waypoint data timeout", "E303 Format error %",
                           "E303 Bad sentence type sequence", "E304 Bad sentence sequence",
                           "E305 Bad sentence sequence", kWaypointStart, &kMlrWaypointFrames};

// Runs one transfer; each data frame's records go to take (an error text, or null to go on).
int transfer(JobContext& ctx, const Texts& t,
             const std::function<const char*(const Frame&)>& take, long& received) {
    job_status(ctx, t.requesting);
    if (write_text(ctx, t.start) < 0) {
        job_error(ctx, t.write_error, t.caption);
        return -1;
    }
    if (!ctx.pause_ms(kStartWaitMs)) {
        job_aborted(ctx);
        write_text(ctx, kStopSentence);
        return -1;
    }
    if (set_baud(ctx, kFastBaud) < 0) {
        back_to_command_mode(ctx, kEndWaitMs);
        return -1;
    }
    FrameDecoder decoder(*t.rules);
    bool started = false, done = false;
    uint8_t sequence = 0;
    std::string error;
    const ReadEnd end = read_instrument(ctx, kReadChunk, kSilenceMs, 0, [&](uint8_t b) {
        const FrameDecoder::Result r = decoder.feed(b);
        if (r == FrameDecoder::Result::More) return true;
        if (r == FrameDecoder::Result::Error) {
            error = format_counts(t.format_error, mlr_error_code(decoder.error()));
            return false;
        }
        const Frame& f = decoder.frame();
        job_status(ctx, format_counts("Sentence number % received", f.sequence));
        if (!started) {
            // Whatever came before the start frame is not part of the transfer.
            if (f.kind == FrameKind::Start) started = true, sequence = f.sequence;
            return true;
        }
        const bool next = f.sequence == static_cast<uint8_t>(sequence + 1);
        if (f.kind == FrameKind::Start) error = t.second_start;
        else if (f.kind == FrameKind::End && !next) error = t.end_sequence;
        else if (f.kind == FrameKind::End) done = true;
        else if (!next) error = t.sequence;
        else if (const char* e = take(f)) error = e;
        sequence = f.sequence;
        return error.empty() && !done;
    });
    back_to_command_mode(ctx, kEndWaitMs);
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) error = t.read_error;
    else if (end == ReadEnd::Silence) error = t.timeout;
    if (!error.empty()) {
        job_error(ctx, error, t.caption);
        return -1;
    }
    job_status(ctx, format_counts("% points received", received));
    return 0;
}

}  // namespace

int fast_track_download(JobContext& ctx, const MlrProduct& product, std::vector<TrackPosition>& positions) {
    positions.clear();
    long received = 0;
    uint16_t point = 0;
    const uint32_t offset = kEpochOffset + (product.time_correction ? kSp24Offset : 0);
    return transfer(ctx, kTrack, [&](const Frame& f) -> const char* {
        for (int i = 0; i < f.count; ++i) {
            const TrackRecord r = track_record(std::span<const uint8_t, kTrackRecordSize>(
                f.records.data() + static_cast<std::size_t>(i) * kTrackRecordSize, kTrackRecordSize));
            // Point numbers count on modulo 65536.
            if (r.point != static_cast<uint16_t>(point + 1)) return "E206 Bad track point sequence";
            point = r.point;
            TrackPosition p;
            p.time = program_time(r.time, offset);
            p.latitude = r.latitude;
            p.longitude = r.longitude;
            p.gps_altitude = r.altitude;
            p.flags = (positions.empty() || r.flags == 1) ? 1u : 0u;
            positions.push_back(p);
            ++received;
            ctx.reporter.notify(format_counts("Progress %/?", received));
        }
        return nullptr;
    }, received);
}

int fast_waypoint_download(JobContext& ctx, std::vector<Waypoint>* list, const IdentitySink& identity) {
    if (list) list->clear();
    long received = 0;
    const uint32_t stamp = time_now();
    return transfer(ctx, kWaypoints, [&](const Frame& f) -> const char* {
        for (int i = 0; i < f.count; ++i) {
            const WaypointRecord r = waypoint_record(std::span<const uint8_t, kWaypointRecordSize>(
                f.records.data() + static_cast<std::size_t>(i) * kWaypointRecordSize, kWaypointRecordSize));
            Waypoint w;
            w.identifier = r.identifier;
            // The receiver pads short identifiers with blanks.
            while (!w.identifier.empty() && w.identifier.back() == ' ') w.identifier.pop_back();
            w.latitude = r.latitude;
            w.longitude = r.longitude;
            w.height = gps_altitude_metres(r.altitude);
            w.time = stamp;
            if (identity) identity(w.identifier, semicircles_to_radians(w.latitude, w.longitude));
            ++received;
            if (list) list->push_back(std::move(w));
            ctx.reporter.notify(strformat("Waypoint count %d", static_cast<int>(received)));
        }
        return nullptr;
    }, received);
}

}  // namespace orlogix::mlr
