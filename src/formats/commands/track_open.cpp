#include "formats/commands/track_open.hpp"

#include "core/report.hpp"
#include "core/time.hpp"

namespace orlogix {

TrackSpanTexts track_span_texts(const std::vector<TrackPosition>& positions) {
    TrackSpanTexts t;
    if (positions.empty()) return t;
    auto stamp = [](uint32_t time) {
        const CalendarTime c = calendar_from_time(time);
        return strformat("%d-%02d-%02d  %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
    };
    const uint32_t first = positions.front().time, last = positions.back().time;
    t.first = stamp(first);
    t.last = stamp(last);
    const uint32_t d = last >= first ? last - first : 0;
    t.duration = strformat("%02u:%02u:%02u", d / 3600, d / 60 % 60, d % 60);
    return t;
}

int append_track(Reporter& r, TrackLog& log, std::vector<TrackPosition>& incoming, bool& signature_valid) {
    if (!log.positions.empty() && !incoming.empty() && log.positions.back().time >= incoming.front().time) {
        r.error_box("Append track", "New track overlaps current one");
        return -1;
    }
    if (!incoming.empty()) incoming.front().flags &= ~kSegmentStart;
    log.positions.insert(log.positions.end(), incoming.begin(), incoming.end());
    signature_valid = false;
    log.header.times_in_utc = 0;
    return 0;
}

int install_track(Reporter& r, CurrentData& data, TrackFileRead& read, const TrackOpenSteps& steps) {
    if (read.positions.empty()) {
        r.status("No positions found");
        return 0;
    }
    // Without the analysis' removal a "Yes" could not be honoured: no question then.
    const std::size_t backwards = steps.remove_backwards ? first_backwards_time(read.positions) : 0;
    if (backwards != 0) {
        const std::string text = strformat(
            "One or more positions (the first at pos. %d) go backwards in time. Remove ?", static_cast<int>(backwards));
        const int answer = steps.backwards ? steps.backwards(text) : r.yes_no_box(kReadTrackTitle, text);
        if (answer == kBoxCancel) {
            r.status("Operation aborted");
            return -1;
        }
        if (answer == kBoxYes) {
            steps.remove_backwards(read.positions);
            read.signature_valid = false;
        }
    }
    TrackLog& log = data.track_log;
    NewTrackChoice choice = NewTrackChoice::Overwrite;
    if (!log.positions.empty() && steps.new_log) choice = steps.new_log(log.positions, read.positions);
    if (choice == NewTrackChoice::Cancel) return -1;
    if (choice == NewTrackChoice::Append) {
        if (append_track(r, log, read.positions, read.signature_valid) != 0) return -1;
        read.times_in_utc = false;
    } else {
        log.positions = std::move(read.positions);
        log.header.times_in_utc = read.times_in_utc ? 1 : 0;
        if (read.has_raw_igc) data.raw_igc = std::move(read.raw_igc);
    }
    TrackLogHeader& h = log.header;
    h.instrument_family = InstrumentFamily::File;
    h.track_log_source = 0;
    h.baro_present = read.baro_present && (choice == NewTrackChoice::Overwrite || h.baro_present) ? 1 : 0;
    h.saved = 0;
    h.instrument_description.clear();
    h.download_time = calendar_now();
    const int count = static_cast<int>(log.positions.size());
    r.status(read.signature_valid ? strformat("%d positions read (Signature ok)", count)
                                  : strformat("%d positions read", count));
    return count;
}

int open_track_file(Reporter& r, CurrentData& data, const std::string& path, const FileFormat& format,
                    const TrackOpenSteps& steps) {
    TrackFileRead read;
    if (read_track_file(r, path, format, read) < 0) return -1;
    return install_track(r, data, read, steps);
}

}  // namespace orlogix
