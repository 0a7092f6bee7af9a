#include "sim/graviter/graviter_instrument.hpp"

#include <bit>
#include <cmath>
#include <cstdlib>

#include "core/report.hpp"
#include "core/time.hpp"
#include "core/units.hpp"
#include "protocols/graviter/memory_dump.hpp"
#include "protocols/graviter/product_line.hpp"
#include "sim/data_files.hpp"
#include "sim/family_registry.hpp"

namespace orlogix::sim {

namespace {

using graviter::kRingFirst;
using graviter::kRingLast;

constexpr uint32_t kMemoryFirst = graviter::kFirstPointerAddress;
constexpr double kAngleStep = 1e-7;   // radians per delta unit

// Bits least significant first, each record from a fresh byte.
class BitWriter {
public:
    void put(uint32_t value, int bits) {
        for (int i = 0; i < bits; ++i) {
            if (bit_ == 8) out_.push_back(0), bit_ = 0;
            out_.back() = static_cast<uint8_t>(out_.back() | ((value >> i) & 1) << bit_);
            ++bit_;
        }
    }
    void align() { bit_ = 8; }
    std::vector<uint8_t>& bytes() { return out_; }

private:
    std::vector<uint8_t> out_;
    int bit_ = 8;
};

struct Running {
    int32_t altitude = 0;
    uint32_t time = 0;
    double latitude = 0, longitude = 0;
    bool started = false;
};

// Sets the flags of one integer field and returns what to write, as an
// absolute value or a delta of delta_bits.
uint32_t integer_field(int32_t target, int32_t& running, int delta_bits, uint32_t absolute, uint32_t negative,
                       bool force_absolute, uint32_t& flags, int& bits, int absolute_bits) {
    const int32_t d = target - running;
    running = target;
    if (!force_absolute && std::abs(d) < (1 << delta_bits)) {
        if (d < 0) flags |= negative;
        bits = delta_bits;
        return static_cast<uint32_t>(std::abs(d));
    }
    flags |= absolute;
    if (target < 0) flags |= negative;
    bits = absolute_bits;
    return static_cast<uint32_t>(std::abs(target));
}

// The same for an angle: deltas of 1e-7 radians as the receiver adds them up.
uint32_t angle_field(double target, double& running, uint32_t absolute, uint32_t negative, bool force_absolute,
                     uint32_t& flags, int& bits) {
    const long d = std::lround((target - running) / kAngleStep);
    if (!force_absolute && std::labs(d) < 128) {
        if (d < 0) flags |= negative;
        running += (d < 0 ? -1.0 : 1.0) * static_cast<double>(std::labs(d)) * kAngleStep;
        bits = 7;
        return static_cast<uint32_t>(std::labs(d));
    }
    flags |= absolute;
    const float magnitude = static_cast<float>(std::fabs(target));
    if (target < 0) flags |= negative;
    running = target < 0 ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
    bits = 32;
    return std::bit_cast<uint32_t>(magnitude);
}

void put_record(BitWriter& w, const TrackPosition& p, uint32_t day_base, bool fix, Running& r) {
    const bool first = !r.started;
    r.started = true;
    uint32_t flags = fix ? 0x200 : 0;
    int alt_bits = 0, time_bits = 0, lat_bits = 0, lon_bits = 0;
    const uint32_t alt = integer_field(gps_altitude_metres(p.gps_altitude), r.altitude, 3, 0x0001, 0x0010, first,
                                       flags, alt_bits, 16);
    // The second to fourth values stay 0: absolute in the first record, then no change.
    if (first) flags |= 0x0002 | 0x0004 | 0x0008;
    const uint32_t tod = p.time - day_base;
    uint32_t time = tod - r.time;
    time_bits = 3;
    if (first || tod < r.time || time > 7) flags |= 0x0100, time = tod, time_bits = 17;
    r.time = tod;
    uint32_t lat = 0, lon = 0;
    if (fix) {
        if (first) flags |= 0x0800;
        lat = angle_field(p.latitude * kSemicircleToRadians, r.latitude, 0x1000, 0x8000, first, flags, lat_bits);
        lon = angle_field(p.longitude * kSemicircleToRadians, r.longitude, 0x2000, 0x10000, first, flags, lon_bits);
    }
    w.align();
    w.put(flags & 0x3FF, 10);
    if (fix) w.put(flags >> 10, 8);
    w.put(alt, alt_bits);
    w.put(0, first ? 8 : 4);
    w.put(0, first ? 8 : 3);
    w.put(0, first ? 6 : 2);
    w.put(time, time_bits);
    if (!fix) return;
    w.put(0, first ? 8 : 3);
    w.put(lat, lat_bits);
    w.put(lon, lon_bits);
}

uint32_t day_base_of(const GraviterFlight& f) {
    const CalendarTime c = calendar_from_time(f.positions.empty() ? 0 : f.positions.front().time);
    return time_from_calendar(c.year, c.month, c.day, 0, 0, 0);
}

std::vector<uint8_t> flight_record(const GraviterFlight& f) {
    std::vector<uint8_t> out(3, 0xFF);   // the next pointer, filled in later
    const CalendarTime start = calendar_from_time(f.positions.empty() ? 0 : f.positions.front().time);
    const CalendarTime end = calendar_from_time(f.positions.empty() ? 0 : f.positions.back().time);
    const std::vector<uint8_t> points = f.type == 3 ? graviter_points(f) : std::vector<uint8_t>{};
    const std::size_t count = f.type == 3 ? f.positions.size() : 0;
    for (const int b : {int(start.day), int(start.month), int(start.year) - 2000, int(start.hour), int(start.minute),
                        int(end.hour), int(end.minute), f.type, int(count >> 8 & 0xFF), int(count & 0xFF)})
        out.push_back(static_cast<uint8_t>(b));
    out.insert(out.end(), points.begin(), points.end());
    return out;
}

}  // namespace

std::vector<uint8_t> graviter_points(const GraviterFlight& flight) {
    BitWriter w;
    Running r;
    const uint32_t base = day_base_of(flight);
    for (const TrackPosition& p : flight.positions) put_record(w, p, base, flight.fixes, r);
    return w.bytes();
}

std::vector<uint8_t> graviter_memory(const GraviterConfig& config) {
    std::vector<uint8_t> memory(kRingLast - kMemoryFirst + 1, 0xFF);
    auto at = [&](uint32_t address) -> uint8_t& { return memory[address - kMemoryFirst]; };
    auto put_pointer = [&](uint32_t address, uint32_t value) {
        for (int i = 0; i < 3; ++i, address = address < kRingFirst ? address + 1 : graviter::next_address(address))
            at(address) = static_cast<uint8_t>(value >> (16 - 8 * i));
    };
    uint32_t pointer_at = kMemoryFirst, address = kRingFirst;
    for (std::size_t i = 0; i < config.flights.size(); ++i) {
        const std::vector<uint8_t> record = flight_record(config.flights[i]);
        if (i == 0 && config.across_ring_end) address = kRingLast - static_cast<uint32_t>(record.size() / 2);
        put_pointer(pointer_at, address);
        pointer_at = address;
        for (const uint8_t b : record) at(address) = b, address = graviter::next_address(address);
    }
    put_pointer(pointer_at, graviter::kNoPointer);
    return memory;
}

GraviterInstrument::GraviterInstrument(GraviterConfig config)
    : config_(std::move(config)), memory_(graviter_memory(config_)), name_(config_.owner) {}

std::string GraviterInstrument::product_line() const {
    auto field = [](std::string text, std::size_t n) {
        text.resize(n, ' ');
        return text;
    };
    return field("DIGIFLY GRAVITER", 20) + " " + field(config_.version, 4) + " " + field(config_.serial, 5) + " " +
           field(name_, 8) + "\r\n";
}

void GraviterInstrument::take_write(std::string_view command) {
    const uint32_t address = static_cast<uint32_t>(std::atoi(std::string(command.substr(1, 6)).c_str()));
    const int value = std::atoi(std::string(command.substr(7, 3)).c_str());
    const uint32_t first = graviter::kOwnerNameAddress;
    if (address < first || address >= first + graviter::kOwnerNameSize || value > 255) {
        report("refused write: " + std::string(command));
        return;
    }
    name_[address - first] = static_cast<char>(value);
    if (address == first + graviter::kOwnerNameSize - 1) report("owner name: " + name_);
}

void GraviterInstrument::on_bytes(std::string_view bytes) {
    for (const char c : bytes) {
        if (!write_.empty()) {
            if (c < '0' || c > '9') {
                report("refused write: " + write_);
                write_.clear();
            } else {
                write_ += c;
                if (write_.size() == 10) take_write(write_), write_.clear();
                continue;
            }
        }
        if (c == 'V') {
            reply(product_line());
        } else if (c == 'y') {
            std::vector<uint8_t> dump{'y'};
            uint8_t sum = 0;
            for (const uint8_t b : memory_) dump.push_back(b), sum ^= b;
            for (const uint8_t b : {uint8_t('*'), sum, uint8_t('\r'), uint8_t('\n')}) dump.push_back(b);
            reply(dump);
        } else if (c == 'T') {
            reply("!");
        } else if (c == 'W') {
            write_ = "W";
        }
    }
}

namespace {

std::unique_ptr<Instrument> make_graviter(const FamilyOptions& options, Reporter& r) {
    if (check_setting_keys(r, "graviter", options.settings, {"version", "serial", "notrack", "nofix", "ring"}) < 0)
        return nullptr;
    GraviterConfig c;
    long notrack = -1, nofix = -1;
    for (const auto& [key, value] : options.settings) {
        char* end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        const bool number = !value.empty() && *end == '\0' && n >= 0;
        if (key == "version" && value.size() <= 4) c.version = value;
        else if (key == "serial" && value.size() <= 5) c.serial = value;
        else if (key == "notrack" && number) notrack = n;
        else if (key == "nofix" && number) nofix = n;
        else if (key == "ring" && (value == "0" || value == "1")) c.across_ring_end = value == "1";
        else {
            r.error_box("orlogix-sim", "Bad value " + value + " for setting " + key);
            return nullptr;
        }
    }
    std::size_t bytes = 0;
    for (const std::string& path : options.track_files) {
        GraviterFlight f;
        TrackLog log;
        if (load_track_file(r, path, log) < 0) return nullptr;
        if (log.positions.empty() || log.positions.size() > 0xFFFF) {
            r.error_box("orlogix-sim", "No positions, or more than 65535, in " + path);
            return nullptr;
        }
        f.positions = std::move(log.positions);
        const long index = static_cast<long>(c.flights.size());
        if (index == notrack) f.type = 2;
        if (index == nofix) f.fixes = false;
        bytes += 13 + graviter_points(f).size();
        c.flights.push_back(std::move(f));
    }
    if (bytes > graviter::kRingBytes) {
        r.error_box("orlogix-sim", "The flights do not fit into the memory");
        return nullptr;
    }
    return std::make_unique<GraviterInstrument>(std::move(c));
}

}  // namespace

void register_graviter_family(FamilyRegistry& registry) {
    registry.add("graviter",
                 "Digifly Graviter; --track repeatable (one flight each, chain order, none: empty memory); "
                 "version, serial, notrack=N (flight N stored without track data), nofix=N (flight N without GPS "
                 "fixes), ring=1 (the first flight across the end of the ring)",
                 make_graviter);
}

}  // namespace orlogix::sim
