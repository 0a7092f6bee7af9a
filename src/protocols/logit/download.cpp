#include "protocols/logit/download.hpp"

#include <span>

#include "access/job_context.hpp"
#include "access/link.hpp"
#include "core/report.hpp"
#include "protocols/mlr/frames.hpp"
#include "protocols/mlr/link_session.hpp"
#include "protocols/mlr/sentences.hpp"

namespace orlogix::logit {

namespace {

using namespace orlogix::mlr;

constexpr const char* kCaption = "Read LogIt track log";
constexpr int kSilenceMs = 10000;
constexpr int kStartWaitMs = 300;
constexpr int kRestartWaitMs = 200;
constexpr int kEndWaitMs = 300;
constexpr int kRestartsAtOnePoint = 5;
constexpr long kProgressStep = 250;

// Sequence errors of the transfer.
constexpr int kNotStarted = 50;
constexpr int kNoRestartFrame = 51;
constexpr int kPointSequence = 52;
constexpr int kDataSequence = 53;
constexpr int kEndSequence = 54;
constexpr int kStartInside = 55;

int fail(JobContext& ctx, std::string_view text) {
    back_to_command_mode(ctx, kEndWaitMs);
    job_error(ctx, text, kCaption);
    return -1;
}

class Transfer {
public:
    Transfer(JobContext& ctx, const DownloadRequest& r, std::vector<TrackPosition>& out)
        : ctx_(ctx), request_(r), out_(out), decoder_(kLogItFrames) {}

    // One byte; false when the read is to stop (done_ or code_ set).
    bool take(uint8_t b) {
        const FrameDecoder::Result r = decoder_.feed(b);
        if (r == FrameDecoder::Result::More) return true;
        if (r == FrameDecoder::Result::Error) return code_ = logit_error_code(decoder_.error()), false;
        const Frame& f = decoder_.frame();
        if (!started_) {
            if (f.kind != FrameKind::Start) return code_ = kNotStarted, false;
            started_ = true;
        } else if (restarting_) {
            if (f.kind != FrameKind::Restart) return code_ = kNoRestartFrame, false;
            restarting_ = false;
        } else if (f.kind == FrameKind::Start || f.kind == FrameKind::Restart) {
            return code_ = kStartInside, false;
        } else if (f.sequence != static_cast<uint8_t>(sequence_ + 1)) {
            return code_ = f.kind == FrameKind::End ? kEndSequence : kDataSequence, false;
        } else if (f.kind == FrameKind::End) {
            done_ = true;
        } else if (!records(f)) {
            return false;
        }
        sequence_ = f.sequence;
        return !done_;
    }

    int run() {
        job_status(ctx_, "Requesting track log");
        if (write_text(ctx_, logit_start_sentence(request_.baud)) < 0) {
            job_error(ctx_, "E201 COM port write error", kCaption);
            return -1;
        }
        if (!switch_rate()) {
            if (ctx_.aborted()) return aborted();
            back_to_command_mode(ctx_, kEndWaitMs);   // the rate change reported its error
            return -1;
        }
        for (;;) {
            code_ = 0;
            const ReadEnd end = read_instrument(ctx_, kReadChunk, kSilenceMs, 0, [this](uint8_t b) { return take(b); });
            if (end == ReadEnd::Aborted) return aborted();
            if (end == ReadEnd::Error) return fail(ctx_, "E202 COM port read error");
            if (end == ReadEnd::Silence) return fail(ctx_, "E210 Track log data timeout");
            if (done_) {
                back_to_command_mode(ctx_, kEndWaitMs);
                job_status(ctx_, format_counts("% points received", static_cast<long long>(out_.size())));
                return 0;
            }
            if (!request_.restarts || !started_ || !restart()) {
                if (ctx_.aborted()) return aborted();
                if (write_failed_) return fail(ctx_, "E205 COM port write error");
                return fail(ctx_, format_counts("E204 Format error %", code_));
            }
        }
    }

private:
    bool records(const Frame& f) {
        for (int i = 0; i < f.count; ++i) {
            const TrackRecord r = track_record(std::span<const uint8_t, kTrackRecordSize>(
                f.records.data() + static_cast<std::size_t>(i) * kTrackRecordSize, kTrackRecordSize));
            // Point numbers compare modulo 65536.
            if (r.point != next_point_) return code_ = kPointSequence, false;
            ++next_point_;
            TrackPosition p;
            p.time = program_time(r.time);
            p.latitude = r.latitude;
            p.longitude = r.longitude;
            p.gps_altitude = r.altitude;
            p.flags = (out_.empty() || (r.flags & 0x0F) == 1) ? 1u : 0u;
            out_.push_back(p);
            progress();
        }
        return true;
    }

    void progress() {
        const long n = static_cast<long>(out_.size());
        if (n != 1 && n % kProgressStep != 0) return;
        if (request_.total > 0) {
            job_status(ctx_, format_counts("% points of % received", n, request_.total));
            ctx_.reporter.notify(format_counts("Progress %/%", n, request_.total));
        } else {
            job_status(ctx_, format_counts("% points received", n));
            ctx_.reporter.notify(format_counts("Progress %/?", n));
        }
    }

    // The wait after the start sentence, then the transfer rate.
    bool switch_rate() {
        if (!ctx_.pause_ms(kStartWaitMs)) return false;
        decoder_.reset();
        return set_baud(ctx_, logit_transfer_rate(request_.baud)) == 0;
    }

    // Asks for the first point not kept; false when the logger is given up on.
    bool restart() {
        if (next_point_ == restart_point_) {
            if (++restarts_here_ > kRestartsAtOnePoint) return false;
        } else {
            restart_point_ = next_point_;
            restarts_here_ = 1;
        }
        set_baud(ctx_, kCommandBaud);
        job_status(ctx_, strformat("RESTART at point %d", static_cast<int>(next_point_)));
        if (write_text(ctx_, restart_sentence(next_point_)) < 0) return false;
        if (!ctx_.pause_ms(kRestartWaitMs)) return false;
        if (write_text(ctx_, logit_start_sentence(request_.baud)) < 0) return write_failed_ = true, false;
        restarting_ = true;
        return switch_rate();
    }

    int aborted() {
        back_to_command_mode(ctx_, kEndWaitMs);
        return job_aborted(ctx_);
    }

    JobContext& ctx_;
    const DownloadRequest& request_;
    std::vector<TrackPosition>& out_;
    FrameDecoder decoder_;
    bool started_ = false, restarting_ = false, done_ = false, write_failed_ = false;
    uint8_t sequence_ = 0;
    uint16_t next_point_ = 1;
    uint16_t restart_point_ = 0;
    int restarts_here_ = 0;
    int code_ = 0;
};

}  // namespace

int download_track_log(JobContext& ctx, const DownloadRequest& request, std::vector<TrackPosition>& positions) {
    positions.clear();
    return Transfer(ctx, request, positions).run();
}

}  // namespace orlogix::logit
