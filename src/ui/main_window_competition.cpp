// The main window's competition steps: the pilot-ID upload offered after a
// competition download found no ID waypoints.
#include "ui/main_window.hpp"

#include "access/dispatch.hpp"
#include "core/time.hpp"
#include "ui/qt_reporter.hpp"

namespace orlogix::ui {

bool MainWindow::offer_pilot_id_upload(const PilotIds& found, const PilotIds& known, const std::string& pilot,
                                       ProtocolType protocol) {
    const bool takes_waypoints = dispatch_routine(AccessType::WriteWaypoints, protocol) != Routine::None;
    if (!offer_pilot_id_upload_decision(found, takes_waypoints, known)) return false;
    JobParams params;
    if (append_identity_waypoints(params.waypoints, known, settings_.comp_wpt_nnn != 0, time_now()) != 0) return false;
    const std::string product = data_.track_log.header.product_name;
    if (reporter_->question_box(kNoPilotIdTitle, no_pilot_id_text(known, pilot, product)) != kBoxOk) return false;
    return jobs_->start_job(AccessType::WriteWaypoints, protocol, Completion::WaypointsWritten, std::move(params),
                            window_job_options()) == 0;
}

}  // namespace orlogix::ui
