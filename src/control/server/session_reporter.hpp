#pragma once
// What a server session's job reports becomes replies to its client:
// "$Orlogix Status %s", "$Orlogix Product %s", "$Orlogix Error %s\n%s" and,
// where a window would show the track list, "$Orlogix TrackList ...", each
// with its terminating NUL. The job never touches the socket: every reply is
// handed to the sink, which posts it to the server thread.
#include <functional>
#include <string>

#include "access/job_context.hpp"
#include "core/report.hpp"

namespace orlogix {

inline constexpr int kTrackPollMs = 500;

// The reply texts, NUL included.
std::string status_reply(std::string_view text);
std::string product_reply(std::string_view text);
std::string error_reply(std::string_view title, std::string_view text);
// "$Orlogix TrackList " and one "start,duration" pair per index from 0 up to
// the highest listed track, separated by line feeds; empty when none is listed.
std::string track_list_reply(const JobContext& ctx);
// The line (of the listed tracks in index order) that track number n names, or -1.
int listed_line_of_track(const std::array<TrackListEntry, kTrackListSize>& list, int track);

class SessionReporter : public Reporter {
public:
    using Sink = std::function<void(std::string reply)>;
    explicit SessionReporter(Sink sink) : sink_(std::move(sink)) {}

    using TrackListCopy = std::array<TrackListEntry, kTrackListSize>;
    // The context of the session's job, for the track choice; set before it
    // starts. offered gets a copy of each track list sent, for the checks of
    // the client's track=n on the server thread.
    void set_context(JobContext* ctx, std::function<void(const TrackListCopy&)> offered = {}) {
        ctx_ = ctx;
        offered_ = std::move(offered);
    }

    void error_box(std::string_view title, std::string_view text) override;
    void notice_box(std::string_view title, std::string_view text) override;
    void warning_box(std::string_view title, std::string_view text) override;
    // Nobody at the server to answer: the refusing answers.
    int question_box(std::string_view, std::string_view) override { return kBoxCancel; }
    int yes_no_box(std::string_view, std::string_view) override { return kBoxNo; }
    void status(std::string_view text) override;
    void product(std::string_view text) override;
    void job_error(std::string_view text, std::string_view title) override;
    // The track list goes to the client, which answers with track=n.
    std::vector<int> choose_many(std::string_view title, const std::vector<std::string>& notes,
                                 const std::vector<std::string>& items, int default_index) override;
    int choose(std::string_view title, const std::vector<std::string>& items, int default_index) override;

private:
    Sink sink_;
    JobContext* ctx_ = nullptr;
    std::function<void(const TrackListCopy&)> offered_;
};

}  // namespace orlogix
