#include "protocols/flytec/sentences.hpp"

#include <cstdio>

#include "protocols/nmea/sentence.hpp"

namespace orlogix::flytec {

namespace {

std::string request(std::string_view text) { return kXon + nmea_sentence(text); }

}  // namespace

std::string drop_flow_control(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes)
        if (!is_flow_control(c)) out += c;
    return out;
}

std::string product_request() { return request("PBRSNP,"); }
std::string track_list_request() { return request("PBRTL,"); }
std::string newest_track_request() { return request("PBRIGC,"); }
std::string waypoints_request() { return request("PBRWPS,"); }
std::string ctr_list_request() { return request("PBRCTR,"); }

std::string track_request(int index) {
    if (index < 0 || index > kLastTrackIndex) return {};
    char text[16];
    std::snprintf(text, sizeof text, "PBRTR,%02d", index);
    return request(text);
}

int check_sentence(std::string_view line, std::size_t max_fields, std::vector<std::string_view>& fields) {
    fields.clear();
    if (line.empty() || line[0] != '$') return kNoDollar;
    const std::size_t star = line.find('*');
    if (star == std::string_view::npos) return kNoStar;
    const int high = star + 1 < line.size() ? hex_digit(line[star + 1]) : -1;
    const int low = star + 2 < line.size() ? hex_digit(line[star + 2]) : -1;
    if (high < 0 || low < 0) return kBadDigit;
    if (line.size() > star + 3) return kTrailing;
    const std::string_view text = line.substr(0, star);
    if (nmea_checksum(text.substr(1)) != high * 16 + low) return kMismatch;
    for (std::string_view f : nmea_fields(text)) {
        if (fields.size() == max_fields) break;
        fields.push_back(f);
    }
    return static_cast<int>(fields.size());
}

void LineAssembler::reset() {
    state_ = State::Hunt;
    line_.clear();
}

bool LineAssembler::feed(char byte) {
    if (byte == '$') {
        line_.assign(1, '$');
        state_ = State::Line;
        return false;
    }
    switch (state_) {
    case State::Hunt:
        return false;
    case State::Line:
        if (byte == '\r') state_ = State::Cr;
        else if (line_.size() < max_kept_) line_ += byte;
        return false;
    case State::Cr:
        state_ = State::Hunt;
        if (byte == '\n') return true;
        line_.clear();
        return false;
    }
    return false;
}

}  // namespace orlogix::flytec
