#include "protocols/mlr/frames.hpp"

namespace orlogix::mlr {

namespace {

// The kind letters and the text that follows each.
constexpr char kStartRest[] = "EBUT";
constexpr char kEndRest[] = "IN";
constexpr char kRestartRest[] = "ESTART";

uint32_t get_be(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
    return v;
}

void put_be(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

int32_t sign_24(uint32_t v) { return (v & 0x800000) ? static_cast<int32_t>(v) - 0x1000000 : static_cast<int32_t>(v); }

}  // namespace

FrameDecoder::Result FrameDecoder::fail(FrameError e) {
    error_ = e;
    state_ = State::Hunt;
    return Result::Error;
}

FrameDecoder::Result FrameDecoder::feed(uint8_t byte) {
    if (state_ != State::Hunt && state_ < State::SumHigh) sum_ = static_cast<uint16_t>(sum_ + byte);
    switch (state_) {
    case State::Hunt:
        if (byte == kFrameMark) {
            frame_ = Frame{};
            sum_ = byte;
            state_ = State::Sequence;
        }
        return Result::More;
    case State::Sequence:
        frame_.sequence = byte;
        state_ = State::Letter;
        return Result::More;
    case State::Letter:
        if (byte == static_cast<uint8_t>(rules_.letter)) {
            state_ = State::Number;
            return Result::More;
        }
        if (rules_.hunt_on_mismatch) return state_ = State::Hunt, Result::More;
        return fail(FrameError::Letter);
    case State::Number:
        if (byte == rules_.number) {
            state_ = State::Kind;
            return Result::More;
        }
        if (rules_.hunt_on_mismatch) return state_ = State::Hunt, Result::More;
        return fail(FrameError::Number);
    case State::Kind:
        state_ = State::Text;
        if (byte == 'D') {
            frame_.kind = FrameKind::Start;
            text_ = kStartRest;
        } else if (byte == 'F') {
            frame_.kind = FrameKind::End;
            text_ = kEndRest;
        } else if (byte == 'R' && rules_.restart) {
            frame_.kind = FrameKind::Restart;
            text_ = kRestartRest;
        } else if (byte == 0) {
            frame_.kind = FrameKind::Data;
            state_ = State::Count;
        } else {
            return fail(FrameError::Kind);
        }
        return Result::More;
    case State::Text:
        if (byte != static_cast<uint8_t>(*text_)) {
            return fail(frame_.kind == FrameKind::Start ? FrameError::StartText
                        : frame_.kind == FrameKind::End ? FrameError::EndText
                                                        : FrameError::RestartText);
        }
        if (*++text_ == '\0') state_ = State::SumHigh;
        return Result::More;
    case State::Count:
        if (byte == 0 || byte > rules_.max_count) return fail(FrameError::Count);
        frame_.count = byte;
        frame_.records.reserve(static_cast<std::size_t>(byte) * rules_.record_size);
        state_ = State::Records;
        return Result::More;
    case State::Records:
        frame_.records.push_back(byte);
        if (frame_.records.size() == static_cast<std::size_t>(frame_.count) * rules_.record_size)
            state_ = State::SumHigh;
        return Result::More;
    case State::SumHigh:
        received_ = static_cast<uint16_t>(byte << 8);
        state_ = State::SumLow;
        return Result::More;
    case State::SumLow:
        received_ = static_cast<uint16_t>(received_ | byte);
        if (received_ != sum_) return fail(FrameError::Checksum);
        state_ = State::Cr;
        return Result::More;
    case State::Cr:
        if (byte != '\r') return fail(FrameError::NoCr);
        state_ = State::Lf;
        return Result::More;
    case State::Lf:
        if (byte != '\n') return fail(FrameError::NoLf);
        state_ = State::Hunt;
        error_ = FrameError::None;
        return Result::Frame;
    }
    return Result::More;
}

int mlr_error_code(FrameError e) {
    switch (e) {
    case FrameError::Checksum: return 2;
    case FrameError::NoCr: return 3;
    case FrameError::NoLf: return 4;
    default: return 1;
    }
}

int logit_error_code(FrameError e) {
    switch (e) {
    case FrameError::Letter: return 2;
    case FrameError::Number: return 3;
    case FrameError::Kind: return 4;
    case FrameError::StartText: return 5;
    case FrameError::EndText: return 6;
    case FrameError::RestartText: return 7;
    case FrameError::Count: return 8;
    case FrameError::Checksum: return 9;
    case FrameError::NoCr:
    case FrameError::NoLf: return 10;
    case FrameError::None: break;
    }
    return 0;
}

TrackRecord track_record(std::span<const uint8_t, kTrackRecordSize> b) {
    TrackRecord r;
    r.point = static_cast<uint16_t>(get_be(&b[0], 2));
    r.time = get_be(&b[2], 4);
    r.latitude = static_cast<int32_t>(get_be(&b[6], 4));
    r.longitude = static_cast<int32_t>(get_be(&b[10], 4));
    r.altitude = sign_24(get_be(&b[14], 3));
    r.flags = b[17];
    return r;
}

WaypointRecord waypoint_record(std::span<const uint8_t, kWaypointRecordSize> b) {
    WaypointRecord r;
    r.identifier.assign(reinterpret_cast<const char*>(&b[0]), 6);
    r.time = get_be(&b[6], 4);
    r.latitude = static_cast<int32_t>(get_be(&b[10], 4));
    r.longitude = static_cast<int32_t>(get_be(&b[14], 4));
    r.altitude = sign_24(get_be(&b[18], 3));
    return r;
}

uint32_t program_time(uint32_t instrument_time, uint32_t offset) {
    return instrument_time < offset ? 0 : instrument_time - offset;
}

std::vector<uint8_t> encode_frame(const FrameRules& rules, uint8_t sequence, FrameKind kind,
                                  std::span<const uint8_t> records, int count) {
    std::vector<uint8_t> f = {kFrameMark, sequence, static_cast<uint8_t>(rules.letter), rules.number};
    auto text = [&f](const char* t) {
        for (; *t != '\0'; ++t) f.push_back(static_cast<uint8_t>(*t));
    };
    switch (kind) {
    case FrameKind::Start: text("DEBUT"); break;
    case FrameKind::End: text("FIN"); break;
    case FrameKind::Restart: text("RESTART"); break;
    case FrameKind::Data:
        f.push_back(0);
        f.push_back(static_cast<uint8_t>(count));
        f.insert(f.end(), records.begin(), records.end());
        break;
    }
    uint16_t sum = 0;
    for (const uint8_t b : f) sum = static_cast<uint16_t>(sum + b);
    put_be(f, sum, 2);
    f.push_back('\r');
    f.push_back('\n');
    return f;
}

std::vector<uint8_t> encode_track_record(const TrackRecord& r) {
    std::vector<uint8_t> out;
    put_be(out, r.point, 2);
    put_be(out, r.time, 4);
    put_be(out, static_cast<uint32_t>(r.latitude), 4);
    put_be(out, static_cast<uint32_t>(r.longitude), 4);
    put_be(out, static_cast<uint32_t>(r.altitude) & 0xFFFFFF, 3);
    out.push_back(r.flags);
    return out;
}

std::vector<uint8_t> encode_waypoint_record(const WaypointRecord& r) {
    std::string id = r.identifier.substr(0, 6);
    id.resize(6, ' ');
    std::vector<uint8_t> out(id.begin(), id.end());
    put_be(out, r.time, 4);
    put_be(out, static_cast<uint32_t>(r.latitude), 4);
    put_be(out, static_cast<uint32_t>(r.longitude), 4);
    put_be(out, static_cast<uint32_t>(r.altitude) & 0xFFFFFF, 3);
    out.push_back(0);
    return out;
}

}  // namespace orlogix::mlr
