#include "protocols/identity_sink.hpp"

#include <memory>

#include "access/job_context.hpp"
#include "competition/pilot_identity.hpp"
#include "core/report.hpp"

namespace orlogix {

IdentitySink identity_sink(JobContext& ctx) {
    ctx.result.comp_id = -1;
    ctx.result.civl_id = -1;
    if (!ctx.options.competition_mode) return {};
    auto recogniser = std::make_shared<IdentityRecogniser>(ctx.options.dash_mode);
    return [&ctx, recogniser](const std::string& identifier, const GeoPosition& position) {
        if (!recogniser->feed(identifier, position)) return;
        ctx.result.comp_id = static_cast<int>(recogniser->found().comp_id);
        ctx.result.civl_id = static_cast<int>(recogniser->found().civl_id);
        ctx.reporter.product(recogniser->product_text());
    };
}

}  // namespace orlogix
