// The session core: link helpers, identification and the capability exchange.
#include "protocols/garmin/session.hpp"

#include <algorithm>
#include <new>

#include "access/job_timer.hpp"
#include "core/report.hpp"
#include "core/time.hpp"
#include "protocols/garmin/session_texts.hpp"

namespace orlogix::garmin {

using namespace texts;

std::string elapsed_seconds_text(int64_t elapsed_ms) {
    // Milliseconds keep their leading zeros: 2005 ms is 2.005, not 2.5.
    return strformat("%lld.%03lld", static_cast<long long>(elapsed_ms / 1000),
                     static_cast<long long>(elapsed_ms % 1000));
}

int64_t PacketTransport::now_ms() const { return orlogix::tick_ms(); }

Session::Session(PacketTransport& transport, Reporter& reporter, SessionOptions options)
    : transport_(transport), reporter_(reporter), options_(std::move(options)) {}

void Session::notify(const std::string& text) const {
    if (options_.notify) options_.notify(text);
}

void Session::status(const std::string& text) const { reporter_.status(text); }

std::string Session::on_device(std::string_view text) const {
    std::string s(text);
    if (!options_.device.empty()) s += " on " + options_.device;
    return s;
}

// A failed write shows up as the missing answer that follows it, which is
// reported with its own code, so the result is not checked here.
void Session::send(const Packet& p) { (void)transport_.send_packet(p); }

int Session::fail(std::string_view caption, std::string_view text, bool abort_receiver) {
    if (abort_receiver) send_command(kCmdAbortTransfer);
    reporter_.job_error(text, caption);
    return -1;
}

int Session::fail_aborted() {
    send_command(kCmdAbortTransfer);
    status("Transfer aborted");
    return -1;
}

int Session::await_packet(std::string_view caption, std::string_view timeout_text, std::string_view error_text) {
    const int r = receive(kTransferWaitMs);
    if (r == kReceiveAborted) return fail_aborted();
    if (r == kReceiveTimeout) return fail(caption, timeout_text);
    if (r < 0) return fail(caption, on_device(error_text));
    return 0;
}

int Session::expect_ack(uint8_t id, std::string_view caption, std::string_view timeout_text,
                        std::string_view error_text, std::string_view bad_text, bool abort_on_bad) {
    if (await_packet(caption, timeout_text, error_text) < 0) return -1;
    if (!is_ack_of(packet_, id)) return fail(caption, bad_text, abort_on_bad);
    return 0;
}

void Session::discard_input(int quiet_ms) {
    // Bounded, so that a receiver that keeps talking cannot hold the job.
    for (int i = 0; i < 32; ++i)
        if (receive(quiet_ms) != 0) return;
}

void Session::fill_header(TrackLogHeader& header) const {
    header.product_name = "Garmin";
    header.instrument_description = product_.description;
    header.device_identity = ("Garmin: " + product_.description).substr(0, kDeviceIdentityMax);
}

// One attempt's wait: product data, possibly after an acknowledgement of the
// request. 1 when product data arrived, 0 for a miss, -1 after reporting.
int Session::wait_product_data() {
    for (int wait = 0; wait < 2; ++wait) {
        const int r = receive(kProductWaitMs);
        if (r == kReceiveAborted) {
            status("Transfer aborted");
            return -1;
        }
        if (r == kReceiveError) {
            reporter_.job_error(on_device("COM port read error"), kCapRequesting);
            return -1;
        }
        if (r < 0) return 0;
        if (packet_.id == kPidProductData && packet_.size >= 5) return 1;
        if (wait > 0 || !is_ack_of(packet_, kPidProductRequest)) return 0;
    }
    return 0;
}

int Session::identify() {
    product_ = ProductData{};
    caps_.fill(0);
    bool found = false;
    const int attempts = identification_attempts(options_.timeout_seconds);
    for (int left = attempts; left > 0 && !found; --left) {
        if (aborted()) {
            status("Transfer aborted");
            return -1;
        }
        status(format_counts("Requesting product info (%)", left));
        product_ = ProductData{};
        send(make_packet(kPidProductRequest, {}));
        const int got = wait_product_data();
        if (got < 0) return -1;
        found = got > 0;
    }
    if (!found) {
        reporter_.job_error(on_device("No valid response from GPS"), "Get GPS product data");
        return -1;
    }
    decode_product_data(packet_.bytes(), product_);
    status("Product data read");
    reporter_.product(product_.description);
    return capability_exchange();
}

int Session::capability_exchange() {
    caps_.fill(0);
    uint8_t last = kPidProductData;
    for (;;) {
        send_ack(last);
        const int r = receive(kTransferWaitMs);
        if (r == kReceiveAborted) {
            status("Transfer aborted");
            return -1;
        }
        if (r == kReceiveError) {
            reporter_.job_error(on_device("COM port error while waiting for protocol capability packet"),
                                kCapRequesting);
            return -1;
        }
        if (r == kReceiveTimeout) {
            // Older receivers do not report their capabilities.
            if (!lookup_builtin_product(product_.product_id, product_.software_version, caps_)) {
                reporter_.job_error("GPS product ID not supported", kCapRequesting);
                return -1;
            }
            break;
        }
        if (packet_.id == kPidProtocolArray) {
            const int parsed =
                parse_protocol_array(packet_.bytes(), product_.product_id, product_.software_version, caps_);
            if (parsed == kCapBadSize) {
                reporter_.job_error("Bad protocol data packet", kCapRequesting);
                return -1;
            }
            if (parsed == kCapBadTag) {
                reporter_.job_error("Bad protocol tag character", kCapRequesting);
                return -1;
            }
            send_ack(kPidProtocolArray);
            break;
        }
        last = packet_.id;
    }
    if (const char* problem = check_capabilities(caps_)) {
        reporter_.job_error(problem, kCapReadProduct);
        return -1;
    }
    return 0;
}

}  // namespace orlogix::garmin
