#include "protocols/flytec/ctr_transfer.hpp"

#include <vector>

#include "access/job_context.hpp"
#include "core/report.hpp"
#include "protocols/flytec/ctr_list_decoder.hpp"
#include "protocols/flytec/ctr_sentences.hpp"
#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/link_session.hpp"
#include "protocols/flytec/sentences.hpp"

namespace orlogix::flytec {

namespace {

constexpr const char* kAckTitle = "CTR upload acknowledge status";
constexpr const char* kListTitle = "Read CTR list";
constexpr int kAckSilenceMs = 20000;
constexpr int kAfterAckMs = 300;
constexpr std::size_t kNameWidth = 17;

int fail(JobContext& ctx, const std::string& text, const char* title) {
    job_error(ctx, text, title);
    return -1;
}

// One CTR: its sentences, then the acknowledgement. 0 or -1 (reported).
int upload_one(JobContext& ctx, const Ctr& ctr) {
    std::vector<CtrUploadSentence> sentences;
    std::string problem;
    if (!ctr_upload_sentences(ctr, sentences, problem)) return fail(ctx, problem, "Upload CTR");
    int segments = 0;
    const std::string count_status = "% CTR segments sent";
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        const bool head = i < 2;
        if (ctx.aborted()) {
            if (head) return job_aborted(ctx);
            job_status(ctx, format_counts(count_status, segments));
            return -1;
        }
        if (send_request(ctx, std::string(1, kXon) + sentences[i].bytes) < 0) {
            job_status(ctx, i == 0 ? "CTR name sent" : i == 1 ? "CTR remark sent" : format_counts(count_status, segments));
            return -1;
        }
        if (!ctx.pause_ms(sentences[i].pause_ms)) continue;   // the check above reports the abort
        if (sentences[i].ends_segment) job_status(ctx, format_counts(count_status, ++segments));
    }
    if (ctx.aborted()) {
        job_status(ctx, format_counts(count_status, segments));
        return -1;
    }
    job_status(ctx, "Waiting for CTR transfer ack.");
    CtrAckDecoder ack;
    int error = 0;
    bool answered = false;
    const ReadEnd end = read_instrument(ctx, kAckSilenceMs, 0, [&](char c) {
        const int r = ack.feed(c);
        if (r < 0) error = -r;
        answered = r == 1;
        return r == 0;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E601 COM port read error", kAckTitle);
    if (error) return fail(ctx, format_counts("E600 Format error %", error), kAckTitle);
    if (!answered) return fail(ctx, "Missing CTR upload ack.", kAckTitle);
    if (ack.status() != '1') return fail(ctx, ctr_ack_text(ack.status()), kAckTitle);
    job_status(ctx, ctr_ack_text('1'));
    return ctx.pause_ms(kAfterAckMs) ? 0 : job_aborted(ctx);
}

}  // namespace

std::string ctr_upload_refusal(const CtrList& list) {
    std::vector<const Ctr*> chosen;
    for (const Ctr& c : list)
        if (c.selected) chosen.push_back(&c);
    if (chosen.empty()) return "No CTR(s) selected";
    // The names are compared as they are sent.
    for (std::size_t i = 0; i < chosen.size(); ++i)
        for (std::size_t j = i + 1; j < chosen.size(); ++j) {
            const std::string& a = chosen[i]->name;
            const std::string& b = chosen[j]->name;
            if (fixed_width_text(a, kNameWidth, ",*$") != fixed_width_text(b, kNameWidth, ",*$")) continue;
            if (a.size() > kNameWidth || b.size() > kNameWidth)
                return "One or more of the selected CTRs have equal\r\nnames after limiting the length to fit the GPS";
            return "One or more of the selected CTRs have equal names";
        }
    return {};
}

int upload_ctrs(JobContext& ctx, const CtrList& list) {
    for (const Ctr& c : list)
        if (c.selected && upload_one(ctx, c) < 0) return -1;
    return 0;
}

int download_ctrs(JobContext& ctx, CtrList& out) {
    job_status(ctx, "Requesting CTR list");
    if (send_request(ctx, ctr_list_request()) < 0) return fail(ctx, "E700 COM port write error", kListTitle);
    CtrListDecoder decoder;
    CtrListDecoder::Result last = CtrListDecoder::Result::More;
    bool receiving = false;
    const ReadEnd end = read_instrument(ctx, 0, 0, [&](char c) {
        last = decoder.feed(c);
        if (!receiving && !decoder.ctrs().empty()) {
            receiving = true;
            job_status(ctx, "Receiving CTR list");
        }
        if (last == CtrListDecoder::Result::CtrDone)
            job_status(ctx, format_counts("% CTRs received", static_cast<long long>(decoder.ctrs().size())));
        return last == CtrListDecoder::Result::More || last == CtrListDecoder::Result::CtrDone;
    });
    if (end == ReadEnd::Aborted) return job_aborted(ctx);
    if (end == ReadEnd::Error) return fail(ctx, "E701 COM port read error", kListTitle);
    if (last == CtrListDecoder::Result::AssemblerError)
        return fail(ctx, format_counts("E703 Format error %", decoder.error()), kListTitle);
    if (last == CtrListDecoder::Result::SentenceError)
        return fail(ctx, format_counts("E702 Format error %", decoder.error()), kListTitle);
    job_status(ctx, format_counts("% CTR(s) received", static_cast<long long>(decoder.ctrs().size())));
    out = decoder.take();
    return 0;
}

}  // namespace orlogix::flytec
