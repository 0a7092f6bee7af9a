#pragma once
// The Garmin USB job routines: open the receiver, identify it, then one
// transfer, on the job's UsbTransport (libusb unless the job was given one,
// such as a test's in-memory receiver).
#include "access/dispatch.hpp"
#include "protocols/garmin/usb_session.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::garmin {

// The session options a job's settings ask for.
UsbSessionOptions usb_session_options(JobContext& ctx);

int usb_read_track_log_job(JobContext& ctx);
int usb_read_waypoints_job(JobContext& ctx);
int usb_write_waypoints_job(JobContext& ctx);
int usb_write_track_log_job(JobContext& ctx);
// Fails before opening the receiver with "No CTR(s) selected" (title "Upload CTR").
int usb_write_ctr_job(JobContext& ctx);

// Puts the routines above into the dispatch registry (the Garmin USB cells).
void register_garmin_usb_jobs(RoutineRegistry& registry);

}  // namespace orlogix::garmin
