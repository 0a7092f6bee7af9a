#pragma once
// Opening the job's USB receiver: the device search and the attempts loop
// of the serial ports, one second apart.
namespace orlogix {

class JobContext;
class UsbTransport;

// Up to options.connect_attempts() attempts with the status "Connecting to
// GPS (%)" counting the attempts left; each searches the devices and opens
// the first that opens (its path goes to the trace). A failed search ends at
// once with its reason (title "Searching for USB device names"). Pauses run
// on the job's timer, so the caller sets its clock to the transport's.
// 0, or -1 after "Transfer aborted" or "Could not open USB port".
int connect_usb(JobContext& ctx, UsbTransport& usb);

}  // namespace orlogix
