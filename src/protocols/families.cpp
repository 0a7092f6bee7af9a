#include "protocols/families.hpp"

#include "access/dispatch.hpp"
#include "protocols/dsx/jobs.hpp"
#include "protocols/flymaster/jobs.hpp"
#include "protocols/flytec/iq_basic_jobs.hpp"
#include "protocols/flytec/jobs.hpp"
#include "protocols/garmin/jobs.hpp"
#include "protocols/graviter/jobs.hpp"
#include "protocols/logit/jobs.hpp"
#include "protocols/magellan/jobs.hpp"
#include "protocols/mlr/jobs.hpp"
#include "protocols/mtk/jobs.hpp"
#include "protocols/topnav/jobs.hpp"

namespace orlogix {

void register_protocol_families() {
    static const bool once = [] {
        add_family_registration(garmin::register_garmin_jobs);
        add_family_registration(flytec::register_flytec_jobs);
        add_family_registration(flymaster::register_flymaster_jobs);
        add_family_registration(flytec::register_iq_basic_jobs);
        add_family_registration(mtk::register_mtk_jobs);
        add_family_registration(magellan::register_magellan_jobs);
        add_family_registration(topnav::register_topnav_jobs);
        add_family_registration(graviter::register_graviter_jobs);
        add_family_registration(dsx::register_dsx_jobs);
        add_family_registration(mlr::register_mlr_jobs);
        add_family_registration(logit::register_logit_jobs);
        return true;
    }();
    (void)once;
}

}  // namespace orlogix
