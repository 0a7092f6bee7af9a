#pragma once
// Airspaces to a Garmin receiver, each CTR outline as one track log.
#include <cstdint>
#include <vector>

#include "core/ctr_records.hpp"
#include "protocols/garmin/jobs.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::garmin {

// The outlines of the selected CTRs, in list order. A CTR whose outline
// cannot be made is marked unconverted. Pure: the track log is not touched.
std::vector<CtrTrack> ctr_tracks(const CtrList& list, uint32_t now);

// The write-CTR job (access type 7, Garmin serial): the selected CTRs of
// ctx.params.ctrs are sent. Fails before connecting with "No CTR(s)
// selected" (title "Upload CTR") when there is nothing to send.
int write_ctr_job(JobContext& ctx);

}  // namespace orlogix::garmin
