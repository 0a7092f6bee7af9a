#include "control/server/session_reporter.hpp"

namespace orlogix {

namespace {

std::string with_nul(std::string text) {
    text.push_back('\0');
    return text;
}

bool listed(const TrackListEntry& e) { return e.start != 0; }

}  // namespace

std::string status_reply(std::string_view text) { return with_nul("$Orlogix Status " + std::string(text)); }

std::string product_reply(std::string_view text) { return with_nul("$Orlogix Product " + std::string(text)); }

std::string error_reply(std::string_view title, std::string_view text) {
    return with_nul("$Orlogix Error " + std::string(title) + "\n" + std::string(text));
}

std::string track_list_reply(const JobContext& ctx) {
    int highest = -1;
    for (int i = 0; i < kTrackListSize; ++i)
        if (listed(ctx.track_list[i])) highest = i;
    if (highest < 0) return {};
    std::string text = "$Orlogix TrackList ";
    for (int i = 0; i <= highest; ++i) {
        if (i > 0) text += '\n';
        text += std::to_string(ctx.track_list[i].start) + "," + std::to_string(ctx.track_list[i].duration);
    }
    return with_nul(std::move(text));
}

int listed_line_of_track(const std::array<TrackListEntry, kTrackListSize>& list, int track) {
    if (track < 1 || track > kTrackListSize || !listed(list[track - 1])) return -1;
    int line = 0;
    for (int i = 0; i < track - 1; ++i)
        if (listed(list[i])) ++line;
    return line;
}

void SessionReporter::error_box(std::string_view title, std::string_view text) { sink_(error_reply(title, text)); }

void SessionReporter::notice_box(std::string_view title, std::string_view text) { sink_(error_reply(title, text)); }

void SessionReporter::warning_box(std::string_view title, std::string_view text) { sink_(error_reply(title, text)); }

void SessionReporter::status(std::string_view text) { sink_(status_reply(text)); }

void SessionReporter::product(std::string_view text) { sink_(product_reply(text)); }

void SessionReporter::job_error(std::string_view text, std::string_view title) { sink_(error_reply(title, text)); }

std::vector<int> SessionReporter::choose_many(std::string_view, const std::vector<std::string>&,
                                              const std::vector<std::string>&, int) {
    if (!ctx_) return {};
    const std::string list = track_list_reply(*ctx_);
    if (list.empty()) return {};
    if (offered_) offered_(ctx_->track_list);
    sink_(list);
    // The client answers with track=n (or aborts); a selection that names no
    // listed track was refused when it came, so only a listed one ends the wait.
    while (true) {
        const int line = listed_line_of_track(ctx_->track_list, ctx_->selected_track.load());
        if (line >= 0) return {line};
        if (ctx_->aborted() || !ctx_->pause_ms(kTrackPollMs)) return {};
    }
}

int SessionReporter::choose(std::string_view, const std::vector<std::string>&, int default_index) {
    // Other choices in the middle of a transfer (a split log): nobody asks, the default.
    return default_index;
}

}  // namespace orlogix
