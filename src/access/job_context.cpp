#include "access/job_context.hpp"

#include "core/report.hpp"

namespace orlogix {

void job_status(JobContext& ctx, std::string_view text) { ctx.reporter.status(text); }

void job_product(JobContext& ctx, std::string_view text) { ctx.reporter.product(text); }

void job_error(JobContext& ctx, std::string_view text, std::string_view title) { ctx.reporter.job_error(text, title); }

int job_choose(JobContext& ctx, std::string_view title, const std::vector<std::string>& items, int default_index) {
    return ctx.reporter.choose(title, items, default_index);
}

int job_yes_no(JobContext& ctx, std::string_view title, std::string_view text) {
    return ctx.reporter.yes_no_box(title, text);
}

int job_aborted(JobContext& ctx) {
    job_status(ctx, "Transfer aborted");
    return -1;
}

void mark_downloaded_track(JobContext& ctx, const DownloadMarks& marks) {
    JobResult& r = ctx.result;
    TrackLogHeader& h = r.track_log.header;
    h.instrument_family = marks.family;
    h.track_log_source = marks.source;
    h.times_in_utc = marks.times_in_utc ? 1 : 0;
    h.baro_present = marks.baro_present ? 1 : 0;
    h.product_name = r.product_name;
    h.instrument_description = r.instrument_description;
    h.device_identity = r.device_identity;
}

void end_job(JobContext& ctx) {
    ctx.reader.stop();
    ctx.link().close();
    if (ctx.usb && ctx.usb->is_open()) ctx.usb->close();
}

}  // namespace orlogix
