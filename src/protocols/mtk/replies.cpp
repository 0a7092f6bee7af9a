#include "protocols/mtk/replies.hpp"

#include <cstdio>

#include "protocols/nmea/sentence.hpp"

namespace orlogix::mtk {

namespace {

bool parse_decimal(std::string_view text, int64_t& out) {
    if (text.empty() || text.size() > 18) return false;
    int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

bool acknowledgement(const std::vector<std::string_view>& f, std::string_view command, ReplyData& data) {
    if (f.size() < 4 || f[0] != "PMTK001" || f[1] != "182" || f[2] != command) return false;
    data.acknowledged = f[3] == "3";
    return true;
}

bool chunk_reply(const std::vector<std::string_view>& f, uint32_t requested, ReplyData& data) {
    uint64_t offset = 0;
    if (f.size() < 4 || f[0] != "PMTK182" || f[1] != "8" || !parse_hex(f[2], offset) || offset != requested)
        return false;
    const std::string_view hex = f[3];
    // A longer, odd-length or non-hex payload is not this chunk: it is asked again.
    if (hex.size() % 2 != 0 || hex.size() > 2 * kChunkSize) return false;
    std::vector<uint8_t> bytes(hex.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = hex_digit(hex[2 * i]), low = hex_digit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<uint8_t>(high * 16 + low);
    }
    data.chunk_offset = static_cast<uint32_t>(offset);
    data.chunk = std::move(bytes);
    return true;
}

}  // namespace

std::string chunk_command(uint32_t offset, uint32_t length) {
    char body[40];
    std::snprintf(body, sizeof body, "PMTK182,7,%08X,%08X", offset, length);
    return nmea_sentence(body);
}

bool parse_hex(std::string_view text, uint64_t& out) {
    if (text.empty() || text.size() > 16) return false;
    uint64_t v = 0;
    for (const char c : text) {
        const int d = hex_digit(c);
        if (d < 0) return false;
        v = v * 16 + static_cast<uint64_t>(d);
    }
    out = v;
    return true;
}

ParsedLine parse_line(std::string_view line) {
    ParsedLine out;
    const std::size_t star = line.find('*');
    // The checksum is exactly two hex digits after "*", closing the line.
    if (star == std::string_view::npos || star + 3 != line.size()) return out;
    const int high = hex_digit(line[star + 1]), low = hex_digit(line[star + 2]);
    if (high < 0 || low < 0) return out;
    const std::string_view body = line.substr(0, star);
    if (nmea_checksum(body) != high * 16 + low) {
        out.bad_checksum = true;
        return out;
    }
    out.fields = nmea_fields(body);
    if (out.fields.size() > kFieldsMax) out.fields.resize(kFieldsMax);
    out.ok = true;
    return out;
}

bool match_reply(Pending pending, uint32_t requested_offset, const std::vector<std::string_view>& f,
                 ReplyData& data) {
    if (f.empty()) return false;
    switch (pending) {
    case Pending::None: return false;
    case Pending::Product:
        if (f[0] != "PMTK705" || f.size() < 3) return false;
        data.release = std::string(f[1].substr(0, kProductTextMax));
        data.model = std::string(f[2].substr(0, kProductTextMax));
        return true;
    case Pending::LoggingStatus:
    case Pending::MemoryUsed: {
        const bool status = pending == Pending::LoggingStatus;
        if (f.size() < 4 || f[0] != "PMTK182" || f[1] != "3" || f[2] != (status ? "7" : "8")) return false;
        if (status) return parse_decimal(f[3], data.status);
        return parse_hex(f[3], data.used);
    }
    case Pending::LoggingOff: return acknowledgement(f, "5", data);
    case Pending::LoggingOn: return acknowledgement(f, "4", data);
    case Pending::Erase: return acknowledgement(f, "6", data);
    case Pending::Chunk: return chunk_reply(f, requested_offset, data);
    }
    return false;
}

bool LineReader::feed(char byte) {
    switch (state_) {
    case State::StartUp:
        if (byte == '\n') state_ = State::Hunt;
        return false;
    case State::Hunt:
        if (byte == '$') {
            line_.clear();
            state_ = State::Line;
        }
        return false;
    case State::Line:
        if (byte == '\0' || byte == '\r' || byte == '\n') {
            // A CR ends the line; its LF then leads to the next "$".
            state_ = State::Hunt;
            return true;
        }
        if (line_.size() < kLineMax) line_ += byte;
        return false;
    }
    return false;
}

}  // namespace orlogix::mtk
