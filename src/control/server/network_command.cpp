#include "control/server/network_command.hpp"

#include <limits>

#include "access/instrument_catalogue.hpp"

namespace orlogix {

namespace {

constexpr std::string_view kPrefix = "$Orlogix ";

// An unsigned decimal number that fits max; false for anything else.
bool parse_unsigned(std::string_view text, uint32_t max, uint32_t& out) {
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > max) return false;
    }
    out = static_cast<uint32_t>(value);
    return true;
}

bool is_known_gps(std::string_view name) {
    for (const InstrumentKind& k : instrument_catalogue())
        if (k.server_name && name == k.server_name) return true;
    return false;
}

int apply(std::string_view key, std::string_view value, NetworkCommand& out, std::string& error) {
    uint32_t n = 0;
    if (key == "com") {
        // A port number of the list, or a device path.
        if (value.find('/') != std::string_view::npos) {
            out.com = value;
            out.com_number = -1;
            return 0;
        }
        if (!parse_unsigned(value, 999999, n)) {
            error = "Bad COM port value";
            return -1;
        }
        out.com = value;
        out.com_number = static_cast<int>(n);
        return 0;
    }
    if (key == "gps") {
        if (!is_known_gps(value)) {
            error = "Unrecognized GPS type";
            return -1;
        }
        out.gps = value;
        return 0;
    }
    if (key == "abort") {
        if (!parse_unsigned(value, std::numeric_limits<uint32_t>::max(), n)) {
            error = "Bad abort value";
            return -1;
        }
        out.abort = n;
        return 0;
    }
    if (key == "track") {
        if (!parse_unsigned(value, kMaxTrackSelect, n)) {
            error = "Bad track select";
            return -1;
        }
        out.track = static_cast<int>(n);
        return 0;
    }
    if (key == "igc") {
        if (!parse_unsigned(value, 1, n)) {
            error = "Bad IGC value";
            return -1;
        }
        out.igc = n == 1;
        return 0;
    }
    error = "Unrecognized parameter";
    return -1;
}

}  // namespace

int parse_network_command(std::string_view line, NetworkCommand& out, std::string& error) {
    out = NetworkCommand{};
    if (line.substr(0, kPrefix.size()) != kPrefix) {
        error = "$Orlogix Error Bad command identifier";
        return -1;
    }
    std::size_t i = kPrefix.size();
    const std::size_t end = line.size();
    while (true) {
        while (i < end && line[i] == ' ') ++i;
        if (i >= end) return 0;
        if (line[i] != '/') {
            error = "Missing parameter start '/'";
            return -1;
        }
        const std::size_t key_start = ++i;
        while (i < end && line[i] != '=' && line[i] != ' ') ++i;
        if (i >= end || line[i] != '=') {
            error = "Missing parameter assignment character '='";
            return -1;
        }
        const std::string_view key = line.substr(key_start, i - key_start);
        ++i;
        if (i >= end || line[i] == ' ') {
            error = "Missing parameter value";
            return -1;
        }
        std::string_view value;
        if (line[i] == '"') {
            const std::size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "Missing '\"'";
                return -1;
            }
            value = line.substr(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const std::size_t start = i;
            while (i < end && line[i] != ' ') ++i;
            value = line.substr(start, i - start);
        }
        if (apply(key, value, out, error) < 0) return -1;
    }
}

std::vector<CommandBuffer::Event> CommandBuffer::feed(std::string_view bytes) {
    std::vector<Event> events;
    for (char c : bytes) {
        if (overflowed_) {
            if (c == '\0' || c == '\n') {
                overflowed_ = false;
                events.push_back({true, {}});
            }
            continue;
        }
        if (c == '\0') {
            events.push_back({false, std::move(buffer_)});
            buffer_.clear();
            continue;
        }
        if (buffer_.size() >= kCommandBufferSize) {
            // Never run what was kept of it: "/com=12" cut short is "/com=1".
            buffer_.clear();
            overflowed_ = true;
            if (c == '\n') {
                overflowed_ = false;
                events.push_back({true, {}});
            }
            continue;
        }
        buffer_.push_back(c);
    }
    return events;
}

}  // namespace orlogix
