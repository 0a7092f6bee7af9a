#pragma once
// The steps of "Read track log file" after the reader: positions that go
// back in time, the choice between overwriting and appending to a loaded
// log, and the installation of the new log into the current data.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/current_data.hpp"
#include "formats/commands/track_read.hpp"

namespace orlogix {

class Reporter;

enum class NewTrackChoice { Overwrite, Append, Cancel };

// The "New Track Log" dialog's texts for one log: first and last time
// ("%d-%02d-%02d  %02d:%02d:%02d") and duration ("%02d:%02d:%02d").
struct TrackSpanTexts {
    std::string first;
    std::string last;
    std::string duration;
};
TrackSpanTexts track_span_texts(const std::vector<TrackPosition>& positions);

struct TrackOpenSteps {
    // "One or more positions (the first at pos. %d) go backwards in time.
    // Remove ?": kBoxYes, kBoxNo or kBoxCancel. Unset: the reporter's yes-no box.
    std::function<int(const std::string& text)> backwards;
    // The analysis' removal of positions that go back in time (Yes above).
    // Unset: the question is not put and the positions stay as read.
    std::function<void(std::vector<TrackPosition>& positions)> remove_backwards;
    // The "New Track Log" dialog, asked only while a log is loaded. Unset: overwrite.
    std::function<NewTrackChoice(const std::vector<TrackPosition>& current,
                                 const std::vector<TrackPosition>& incoming)> new_log;
};

// Adds incoming behind the current positions: "New track overlaps current
// one" (title "Append track") unless the current log ends before the new one
// starts. The first new position loses its segment start; the signature and
// UTC flags become 0. 0, or -1 with nothing changed.
int append_track(Reporter& r, TrackLog& log, std::vector<TrackPosition>& incoming, bool& signature_valid);

// Steps 3-5 for a successful read. The count installed (0 when the file held
// no positions: "No positions found"), or -1 when the user cancelled
// ("Operation aborted") or the append was refused. The current data change
// only on success; only then is the instrument description cleared.
int install_track(Reporter& r, CurrentData& data, TrackFileRead& read, const TrackOpenSteps& steps);

// read_track_file then install_track.
int open_track_file(Reporter& r, CurrentData& data, const std::string& path, const FileFormat& format,
                    const TrackOpenSteps& steps);

}  // namespace orlogix
