#include "protocols/dsx/jobs.hpp"

#include <string>
#include <vector>

#include "access/dispatch.hpp"
#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/dsx/commands.hpp"
#include "protocols/dsx/link_session.hpp"
#include "protocols/flytec/track_download.hpp"
#include "protocols/flytec/track_reader.hpp"
#include "protocols/identity_sink.hpp"

namespace orlogix::dsx {

namespace {

constexpr const char* kListTitle = "Read GPS track list";
constexpr const char* kReadTitle = "Read GPS track log";
constexpr const char* kUserTitle = "Request user data";
constexpr const char* kSetTitle = "Set DSX pilot data";
constexpr int kListSilenceMs = 2000;
constexpr int kFirstRecordMs = 10000;
constexpr int kRecordsMs = 2000;
constexpr int kAnswerByteMs = 1000;
constexpr int kBetweenMs = 200;
constexpr int kBeforeCloseMs = 500;

const flytec::IgcErrorTexts kTexts = {"E204 Track log memory allocation", "E205 Bad record type (%02X)",
                                      "E207 Too long sentence", "E206 Format error %"};

int fail(JobContext& ctx, const std::string& text, const char* title) {
    job_error(ctx, text, title);
    return -1;
}

// The list, newest last as the instrument sends it. 0, or -1 after reporting.
int read_list(JobContext& ctx, std::vector<TrackListEntry>& out) {
    job_status(ctx, "Requesting track list");
    if (write_text(ctx, kTrackList) < 0) return fail(ctx, "E500 COM port write error", kListTitle);
    TrackListParser parser;
    int error = 0;
    const ReadEnd end = read_until_silence(ctx, [] { return kListSilenceMs; },
                                           [&](uint8_t b) { return (error = parser.feed(b)) == 0; });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E503 COM port read error", kListTitle);
    if (error) return fail(ctx, strformat("E505 Format error %d", error), kListTitle);
    const std::string found = format_counts("% tracks in track list found", static_cast<long long>(parser.entries().size()));
    job_status(ctx, found);
    if (parser.entries().empty()) return fail(ctx, found, kListTitle);
    out = parser.entries();
    return 0;
}

// The "Select track" choice, newest first; headless: the newest. The track
// number, or -1 (cancelled or after reporting).
int choose_track(JobContext& ctx, const std::vector<TrackListEntry>& list) {
    std::vector<std::string> lines;
    for (auto it = list.rbegin(); it != list.rend(); ++it) lines.push_back(track_choice_line(*it));
    const std::vector<int> chosen = ctx.reporter.choose_many(
        strformat("Track List (%s, %s)", ctx.port_name.c_str(), kInstrumentName), {}, lines, 0);
    if (chosen.empty()) return -1;
    if (chosen.front() < 0 || chosen.front() >= static_cast<int>(lines.size()))
        return fail(ctx, "Dialog box error", kListTitle);
    return list[list.size() - 1 - static_cast<std::size_t>(chosen.front())].number;
}

// One track's IGC text, from after the "#" to before the end mark.
int download(JobContext& ctx, int number, flytec::TrackDownload& got) {
    job_status(ctx, "Requesting track log");
    if (write_text(ctx, track_request(number)) < 0) return fail(ctx, "E202 COM port write error", kReadTitle);
    flytec::TrackReader reader(ctx, 0, got.raw.bytes, kTexts, false);
    bool started = false;        // the "#" came
    std::string line;            // the current line, to spot the end mark
    const ReadEnd end = read_until_silence(
        ctx, [&] { return got.raw.bytes.empty() ? kFirstRecordMs : kRecordsMs; },
        [&](uint8_t b) {
            const char c = static_cast<char>(b);
            if (!started) return (started = c == '#'), true;
            if (c == '\r' && line == kEndMark) {
                // The end mark stays out of the text kept.
                got.raw.bytes.resize(got.raw.bytes.size() - kEndMark.size());
                reader.lines.reset();
                return false;
            }
            line = c == '\n' ? std::string() : line.size() < 8 ? line + c : line;
            return reader.take(c);
        });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E203 COM port read error", kReadTitle);
    if (const std::string e = reader.finish("E203 COM port read error", got.raw, got.all_g_records); !e.empty())
        return fail(ctx, e, kReadTitle);
    got.positions = std::move(reader.positions);
    return 0;
}

// The answer to an E command up to its CR; 80 characters kept.
int read_pilot_text(JobContext& ctx, int n, std::string& text) {
    if (write_text(ctx, pilot_text_request(n)) < 0) return fail(ctx, "COM port write error", kUserTitle);
    text.clear();
    bool done = false;
    const ReadEnd end = read_until_silence(ctx, [] { return kAnswerByteMs; }, [&](uint8_t b) {
        if (b == '\r') return !(done = true);
        if (text.size() < kPilotTextMax) text += static_cast<char>(b);
        return true;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "COM port read error", kUserTitle);
    if (!done) return fail(ctx, "Response timeout", kUserTitle);
    if (!ctx.pause_ms(kBetweenMs)) return job_aborted(ctx);
    return 0;
}

int write_pilot_texts(JobContext& ctx, const std::vector<std::string>& read, const std::vector<std::string>& wanted) {
    for (int i = 0; i < kPilotTexts; ++i) {
        const std::string& text = static_cast<std::size_t>(i) < wanted.size() ? wanted[i] : std::string();
        if (text.empty() || text == read[static_cast<std::size_t>(i)]) continue;
        job_status(ctx, strformat("Sending H%d", i + 1));
        if (write_text(ctx, pilot_text_write(i + 1, text.substr(0, kPilotTextMax))) < 0)
            return fail(ctx, "COM port write error", kSetTitle);
        if (!ctx.pause_ms(kBetweenMs)) return job_aborted(ctx);
    }
    if (wanted.size() > kPilotTexts && !wanted[kPilotTexts].empty()) {
        if (write_text(ctx, extra_text_write(wanted[kPilotTexts].substr(0, kExtraTextMax))) < 0)
            return fail(ctx, "COM port write error", kSetTitle);
        if (!ctx.pause_ms(kBetweenMs)) return job_aborted(ctx);
    }
    return 0;
}

int read_track(JobContext& ctx) {
    if (open_connection(ctx) < 0) return -1;
    identity_sink(ctx);   // no waypoint memory: the pilot's IDs are "none"
    JobResult& r = ctx.result;
    r.product_name = r.instrument_description = r.device_identity = kInstrumentName;
    job_product(ctx, kInstrumentName);
    std::vector<TrackListEntry> list;
    if (read_list(ctx, list) < 0) return -1;
    const int number = choose_track(ctx, list);
    if (number < 0) return -1;
    flytec::TrackDownload got;
    if (download(ctx, number, got) < 0) return -1;
    return flytec::install_track_download(ctx, std::move(got), InstrumentFamily::Dsx);
}

int write_pilot_data(JobContext& ctx) {
    if (open_connection(ctx) < 0) return -1;
    std::vector<std::string> read(kPilotTexts);
    for (int i = 0; i < kPilotTexts; ++i)
        if (read_pilot_text(ctx, i + 1, read[static_cast<std::size_t>(i)]) < 0) return -1;
    // The form shows what the instrument holds; closing it sends nothing.
    std::vector<std::string> wanted = ctx.params.pilot.texts;
    if (!ctx.reporter.edit_texts(kSetTitle, read, wanted)) return -1;
    if (write_pilot_texts(ctx, read, wanted) < 0) return -1;
    if (!ctx.pause_ms(kBeforeCloseMs)) return job_aborted(ctx);
    job_status(ctx, "Data sent");
    return 0;
}

}  // namespace

int read_track_log_job(JobContext& ctx) {
    const int result = read_track(ctx);
    close_connection(ctx);
    return result;
}

int write_pilot_data_job(JobContext& ctx) {
    const int result = write_pilot_data(ctx);
    close_connection(ctx);
    return result;
}

void register_dsx_jobs(RoutineRegistry& registry) {
    registry.add(AccessType::ReadTrackLog, Routine::Dsx, read_track_log_job);
    registry.add(AccessType::WritePilotData, Routine::Dsx, write_pilot_data_job);
}

}  // namespace orlogix::dsx
