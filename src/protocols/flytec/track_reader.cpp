#include "protocols/flytec/track_reader.hpp"

#include <new>

#include "access/job_context.hpp"
#include "core/report.hpp"

namespace orlogix::flytec {

bool TrackReader::take(char c) {
    try {
        raw += c;
        switch (lines.feed(c)) {
        case IgcLineAssembler::Result::More: return true;
        case IgcLineAssembler::Result::BadRecordType:
            error = strformat(texts.bad_type, lines.bad_byte());
            return false;
        case IgcLineAssembler::Result::TooLong: error = texts.too_long; return false;
        case IgcLineAssembler::Result::Record: break;
        }
        const int r = decoder.decode(lines.record());
        if (r < 0) {
            if (texts.date && -r <= kIgcDayRange) {
                std::string_view shown = lines.record();
                if (shown.ends_with('\r')) shown.remove_suffix(1);
                error = texts.date + std::string(shown);
            } else {
                error = format_counts(texts.format, -r);
            }
            return false;
        }
        if (r == static_cast<int>(IgcRecord::Position)) position(decoder.position());
        return true;
    } catch (const std::bad_alloc&) {
        error = texts.memory;
        return false;
    }
}

void TrackReader::position(const TrackPosition& p) {
    positions.push_back(p);
    ctx.reporter.progress_position(p.time, p.latitude, p.longitude, p.gps_altitude);
    const long long n = static_cast<long long>(positions.size());
    if (n == 1) {
        first_ms = ctx.timer.now_ms();
        job_status(ctx, "Receiving track log");
        return;
    }
    if (n % 100 != 1) return;
    if (all_tracks_number > 0) {
        job_status(ctx, format_counts("Reading track log %   (%)", all_tracks_number, n));
    } else if (listed_duration == 0) {
        job_status(ctx, format_counts("Track position %", n));
    } else {
        const int left = remaining_seconds(decoder.first_time(), listed_duration, p.time,
                                           static_cast<uint64_t>(ctx.timer.now_ms() - first_ms));
        job_status(ctx, format_counts("Track position % (%m %s)", n, left / 60, left % 60));
    }
    ctx.reporter.notify(format_counts("Progress %/?", n));
}

std::string TrackReader::finish(const char* read_error, RawIgcLog& raw_log, bool& all_g_records) {
    if (!error.empty()) return error;
    // Silence in the middle of a record: the line went dead, the text is cut.
    if (lines.in_record()) return read_error;
    job_status(ctx, format_counts("% points received", static_cast<long long>(positions.size())));
    if (positions.empty()) return "No points detected";
    if (!decoder.has_a_record()) return "Bad or missing A-record";
    if (decoder.g_records() == 0) all_g_records = false;
    raw_log.maker = decoder.maker();
    raw_log.serial = decoder.logger();
    raw_log.first_fix_time = decoder.first_time();
    return {};
}

}  // namespace orlogix::flytec
