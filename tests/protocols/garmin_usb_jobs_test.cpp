// The Garmin USB job routines through the job framework, with the in-memory
// USB receiver carried over the kit's in-memory link: each USB transfer
// crosses the line as a pipe letter, a 16-bit length and its bytes, so the
// kit's faults (a cut line, a spoiled byte, an abort after N bytes) reach
// the USB jobs as they reach the serial ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "access/event_loop.hpp"
#include "access/job_framework.hpp"
#include "access/job_runner.hpp"
#include "core/current_data.hpp"
#include "protocols/garmin/usb_jobs.hpp"
#include "sim/garmin/garmin_usb_receiver.hpp"
#include "support/fault_sweep.hpp"
#include "support/recording_reporter.hpp"
#include "support/sim_kit.hpp"

namespace orlogix::garmin {
namespace {

constexpr char kInterrupt = 'I';
constexpr char kBulk = 'B';
constexpr std::size_t kChunkMax = 4096;

// The job's side: USB transfers read from and written to the job's link.
class UsbOverLink : public UsbTransport {
public:
    explicit UsbOverLink(JobContext& ctx) : link_(ctx.link()) {}

    int find_devices(std::vector<std::string>& paths, std::string&) override {
        paths = {"usb:001:002"};
        return 0;
    }
    int open(const std::string&, std::string& why) override {
        open_ = link_.open("memory") == 0;
        if (!open_) why = "no device";
        return open_ ? 0 : -1;
    }
    void close() override {
        link_.close();
        open_ = false;
    }
    bool is_open() const override { return open_; }
    UsbTransfer bulk_write(const uint8_t* data, std::size_t count, int) override {
        if (!open_) return {UsbStatus::NoDevice, 0};
        return link_.write(data, count) == 0 ? UsbTransfer{UsbStatus::Done, count} : UsbTransfer{UsbStatus::Failed, 0};
    }
    UsbTransfer bulk_read(uint8_t* buffer, std::size_t max, int timeout_ms) override {
        return take(bulk_, buffer, max, timeout_ms);
    }
    UsbTransfer interrupt_read(uint8_t* buffer, std::size_t max, int timeout_ms) override {
        return take(interrupt_, buffer, max, timeout_ms);
    }
    Clock& clock() override { return link_.clock(); }

private:
    UsbTransfer take(std::deque<std::string>& pipe, uint8_t* buffer, std::size_t max, int timeout_ms) {
        if (!open_) return {UsbStatus::NoDevice, 0};
        const Deadline deadline(link_.clock(), timeout_ms);
        for (;;) {
            if (garbled_) {
                garbled_ = false;
                return {UsbStatus::Failed, 0};
            }
            if (!pipe.empty()) {
                const std::string chunk = std::move(pipe.front());
                pipe.pop_front();
                if (chunk.empty()) return {UsbStatus::ZeroLength, 0};
                if (chunk.size() > max) return {UsbStatus::Overflow, 0};
                std::copy(chunk.begin(), chunk.end(), buffer);
                return {UsbStatus::Done, chunk.size()};
            }
            if (deadline.expired()) return {UsbStatus::TimedOut, 0};
            uint8_t bytes[512];
            const int n = link_.read(bytes, sizeof bytes, static_cast<int>(std::max<int64_t>(1, deadline.remaining_ms())));
            if (n < 0) return {UsbStatus::Failed, 0};
            in_.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
            split();
        }
    }
    void split() {
        while (in_.size() >= 3) {
            const std::size_t length = static_cast<uint8_t>(in_[1]) | static_cast<std::size_t>(static_cast<uint8_t>(in_[2])) << 8;
            if ((in_[0] != kInterrupt && in_[0] != kBulk) || length > kChunkMax) {
                // A spoiled frame: the transfer failed, and what follows is lost with it.
                in_.clear();
                garbled_ = true;
                return;
            }
            if (in_.size() < 3 + length) return;
            (in_[0] == kBulk ? bulk_ : interrupt_).push_back(in_.substr(3, length));
            in_.erase(0, 3 + length);
        }
    }

    Link& link_;
    bool open_ = false;
    bool garbled_ = false;
    std::string in_;
    std::deque<std::string> interrupt_, bulk_;
};

// The receiver's side: whole packets from the line go to the in-memory
// receiver, and each transfer it offers goes back as one reply.
class UsbReceiverOnLink : public sim::Instrument {
public:
    explicit UsbReceiverOnLink(sim::GarminUsbConfig config) : usb_(std::move(config)) {
        std::string why;
        usb_.open("usb:001:002", why);
    }

protected:
    void on_bytes(std::string_view bytes) override {
        in_.insert(in_.end(), bytes.begin(), bytes.end());
        UsbHeader h;
        while (decode_usb_header(in_, h)) {
            if (h.size > kUsbDataMax) {
                in_.clear();
                return;
            }
            const std::size_t whole = kUsbHeaderSize + h.size;
            if (in_.size() < whole) return;
            usb_.bulk_write(in_.data(), whole, 0);
            in_.erase(in_.begin(), in_.begin() + static_cast<long>(whole));
            for (; reported_ < usb_.reports.size(); ++reported_) report(usb_.reports[reported_]);
            offer(kInterrupt);
            offer(kBulk);
        }
    }

private:
    void offer(char pipe) {
        for (;;) {
            std::vector<uint8_t> chunk(kChunkMax);
            const UsbTransfer t = pipe == kBulk ? usb_.bulk_read(chunk.data(), chunk.size(), 0)
                                                : usb_.interrupt_read(chunk.data(), chunk.size(), 0);
            if (t.status != UsbStatus::Done && t.status != UsbStatus::ZeroLength) return;
            std::string frame{pipe, static_cast<char>(t.bytes & 0xFF), static_cast<char>(t.bytes >> 8)};
            frame.append(chunk.begin(), chunk.begin() + static_cast<long>(t.bytes));
            reply(frame);
        }
    }

    sim::GarminUsbReceiver usb_;
    std::vector<uint8_t> in_;
    std::size_t reported_ = 0;
};

// The USB routines, each given the line to the receiver as its USB device.
const RoutineRegistry& usb_routines() {
    static RoutineRegistry registry;
    static const bool filled = [] {
        RoutineRegistry inner;
        register_garmin_usb_jobs(inner);
        for (const AccessType a : {AccessType::ReadTrackLog, AccessType::ReadWaypoints, AccessType::WriteWaypoints,
                                   AccessType::WriteTrackLog, AccessType::WriteCtr}) {
            const JobRoutine job = inner.find(a, Routine::GarminUsb);
            registry.add(a, Routine::GarminUsb, [job](JobContext& ctx) {
                ctx.usb = std::make_unique<UsbOverLink>(ctx);
                return job(ctx);
            });
        }
        return true;
    }();
    (void)filled;
    return registry;
}

std::unique_ptr<sim::Instrument> receiver(const sim::GarminUsbConfig& config) {
    return std::make_unique<UsbReceiverOnLink>(config);
}

sim::GarminUsbConfig flight_receiver(bool bulk) {
    sim::GarminUsbConfig c;
    c.receiver.track = test::load_flight("garmin/tri.igc");
    c.bulk = bulk;
    c.zero_length = bulk;
    return c;
}

bool same_fixes(const std::vector<TrackPosition>& got, const std::vector<TrackPosition>& want) {
    if (got.size() != want.size()) return false;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i].time != want[i].time || got[i].latitude != want[i].latitude || got[i].longitude != want[i].longitude)
            return false;
    return true;
}

test::SweepCase sweep_case(const sim::GarminUsbConfig& config, AccessType access, Completion completion) {
    test::SweepCase k;
    k.instrument = [config] { return receiver(config); };
    k.routines = &usb_routines();
    k.access = access;
    k.protocol = ProtocolType::GarminUsb;
    k.completion = completion;
    k.options.timeout_seconds = 2;
    return k;
}

std::string packet_bytes(uint8_t type, uint16_t id, std::vector<uint8_t> data = {}) {
    const std::vector<uint8_t> p = encode_usb_packet(type, id, data);
    return std::string(p.begin(), p.end());
}

TEST(GarminUsbJobs, ARealFlightIsInstalledFromEitherPipe) {
    for (const bool bulk : {false, true}) {
        const sim::GarminUsbConfig c = flight_receiver(bulk);
        ASSERT_GT(c.receiver.track.size(), 4000u);
        test::SweepCase k = sweep_case(c, AccessType::ReadTrackLog, Completion::TrackLog);
        k.complete = [&c](const CurrentData& d, const std::vector<std::string>&) {
            const TrackLogHeader& h = d.track_log.header;
            return same_fixes(d.track_log.positions, c.receiver.track) && h.product_name == "Garmin" &&
                   h.device_identity == "Garmin USB: 3456789" && h.instrument_family == InstrumentFamily::Garmin &&
                   h.times_in_utc == 1;
        };
        const test::SweepRun run = test::FaultSweep(k).run();
        EXPECT_TRUE(run.ended && !run.failed && run.complete) << bulk << run.error;
    }
}

TEST(GarminUsbJobs, WaypointsDownAndUp) {
    sim::GarminUsbConfig c;
    c.receiver.waypoint_type = 108;
    c.receiver.waypoints = sim::generated_waypoints(9);
    test::SweepCase down = sweep_case(c, AccessType::ReadWaypoints, Completion::WaypointsRead);
    down.complete = [&c](const CurrentData& d, const std::vector<std::string>&) {
        return d.waypoints.size() == 9 && d.waypoints[8].identifier == c.receiver.waypoints[8].identifier &&
               d.waypoints[8].latitude == c.receiver.waypoints[8].latitude;
    };
    EXPECT_TRUE(test::FaultSweep(down).run().complete);

    test::SweepCase up = sweep_case(c, AccessType::WriteWaypoints, Completion::Written);
    up.params.waypoints = sim::generated_waypoints(4);
    up.complete = [](const CurrentData&, const std::vector<std::string>& uploads) {
        return uploads.size() == 6 && uploads.front() == "records 4" && uploads[4].rfind("waypoint WP3 ", 0) == 0 &&
               uploads.back() == "transfer complete 7";
    };
    EXPECT_TRUE(test::FaultSweep(up).run().complete);

    // Three points as an A301 log: the count takes the header in, command 6 closes it.
    up.access = AccessType::WriteTrackLog;
    up.params.waypoints = sim::generated_waypoints(3);
    up.complete = [](const CurrentData&, const std::vector<std::string>& uploads) {
        return uploads.size() == 6 && uploads[0] == "records 4" && uploads[1] == "track header" &&
               uploads.back() == "transfer complete 6";
    };
    EXPECT_TRUE(test::FaultSweep(up).run().complete);
}

TEST(GarminUsbJobs, AbortMidTrackKeepsThePreviousLog) {
    test::RecordingReporter reporter;
    test::MemorySim sim(receiver(flight_receiver(false)));
    HeadlessEventLoop loop;
    CurrentData data;
    data.track_log.positions = sim::generated_track(7);
    data.track_log.header.product_name = "Previous";
    JobFramework jobs(reporter, loop, data, usb_routines());
    jobs.set_link_factory(sim.factory());
    // About a thousand points in (39 bytes a point on the line).
    sim.link().watch(1000 * 39, [&jobs] { jobs.abort_transfer(); });
    ASSERT_EQ(jobs.start_job(AccessType::ReadTrackLog, ProtocolType::GarminUsb, Completion::TrackLog), 0);
    ASSERT_TRUE(loop.run_until([&] { return !jobs.job_registered() && jobs.failed(); }, std::chrono::seconds(20)));
    EXPECT_EQ(data.track_log.positions.size(), 7u);
    EXPECT_EQ(data.track_log.header.product_name, "Previous");
    EXPECT_TRUE(reporter.has_status("Transfer aborted"));
    EXPECT_EQ(reporter.count("error"), 0);
    // The receiver is told to drop the transfer by a new session start.
    const std::string start = packet_bytes(kUsbProtocolLayer, kUsbStartSession);
    const std::string exchange = sim.link().exchange();
    EXPECT_GT(exchange.rfind(start), exchange.find(start));
}

TEST(GarminUsbJobs, NoReceiverOrNothingToSend) {
    // A receiver that does not open: an attempt a second, then the message.
    test::RecordingReporter reporter;
    test::MemorySim absent(receiver(sim::GarminUsbConfig{}));
    absent.link().set_present(false);
    const std::unique_ptr<JobContext> ctx = absent.job(reporter, AccessType::ReadTrackLog, ProtocolType::GarminUsb);
    ctx->options.timeout_seconds = 3;
    ctx->usb = std::make_unique<UsbOverLink>(*ctx);
    EXPECT_EQ(run_job_inline(*ctx, usb_read_track_log_job), -1);
    EXPECT_EQ(reporter.statuses(),
              (std::vector<std::string>{"Connecting to GPS (3)", "Connecting to GPS (2)", "Connecting to GPS (1)"}));
    EXPECT_EQ(reporter.last_error().text, "Could not open USB port");
    EXPECT_EQ(reporter.last_error().title, "Connecting to GPS");
    EXPECT_EQ(absent.now_ms(), 3000);

    test::SweepCase k = sweep_case(sim::GarminUsbConfig{}, AccessType::WriteCtr, Completion::Written);
    const test::SweepRun none = test::FaultSweep(k).run();
    EXPECT_TRUE(none.failed);
    EXPECT_EQ(none.error, "No CTR(s) selected");
    EXPECT_TRUE(none.exchange.empty());
}

TEST(GarminUsbFaultSweep, TrackDownloadOfARealFlight) {
    const sim::GarminUsbConfig c = flight_receiver(false);
    test::SweepCase k = sweep_case(c, AccessType::ReadTrackLog, Completion::TrackLog);
    k.complete = [&c](const CurrentData& d, const std::vector<std::string>&) {
        return same_fixes(d.track_log.positions, c.receiver.track);
    };
    const test::FaultSweep sweep(k);
    const std::string exchange = sweep.run().exchange;
    const std::size_t command = exchange.find(packet_bytes(kUsbApplicationLayer, kPidCommand, {6, 0}));
    ASSERT_NE(command, std::string::npos);
    // Only cuts: a USB transfer arrives whole or not at all (the bus checks
    // every packet), and a Garmin packet has no checksum of its own that a
    // spoiled byte could be caught by. Identification and the first and last
    // records are cut at every byte, and in between a prime step lands on
    // every offset within a record.
    const std::size_t head = command + 200, tail = exchange.size() - 200;
    std::vector<std::size_t> ends = test::sweep_positions(0, head);
    for (const std::size_t n : test::sweep_positions(tail, exchange.size())) ends.push_back(n);
    EXPECT_EQ(sweep.sweep(ends, false), std::vector<std::string>{});
    EXPECT_EQ(sweep.sweep(test::sweep_positions(head, tail, 1009), false), std::vector<std::string>{});
}

}  // namespace
}  // namespace orlogix::garmin
