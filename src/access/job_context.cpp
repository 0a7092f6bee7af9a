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

void end_job(JobContext& ctx) {
    ctx.reader.stop();
    ctx.link().close();
    if (ctx.usb && ctx.usb->is_open()) ctx.usb->close();
}

}  // namespace orlogix
