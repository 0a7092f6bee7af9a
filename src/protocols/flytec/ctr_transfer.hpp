#pragma once
// The airspace (CTR) transfers of the Flytec/Brauniger instruments on an
// identified link: the upload of the selected CTRs, each acknowledged, and
// the download of the instrument's CTR list.
#include <string>

#include "core/ctr_records.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::flytec {

// Why the selection cannot be sent (none selected, names equal within the
// instrument's 17 characters); empty when it can.
std::string ctr_upload_refusal(const CtrList& list);

// Sends every selected CTR and waits for its acknowledgement. 0, or -1
// after reporting; a refused CTR stops the upload.
int upload_ctrs(JobContext& ctx, const CtrList& list);

// Reads the whole list, with no time limit (an abort ends it). 0, or -1
// after reporting; out is filled only on success.
int download_ctrs(JobContext& ctx, CtrList& out);

}  // namespace orlogix::flytec
