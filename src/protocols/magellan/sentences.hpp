#pragma once
// The Magellan receiver's wire: proprietary "$PMGN..." sentences, the fixed
// commands, the byte-at-a-time sentence reader with the receiver's error
// numbers, and the decoders and the encoder of its records. Pure: no port.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/records.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::magellan {

inline constexpr std::string_view kVersionRequest = "$PMGNCMD,VERSION*28\r\n";
inline constexpr std::string_view kTrackRequest = "$PMGNCMD,TRACK,2*23\r\n";
inline constexpr std::string_view kWaypointRequest = "$PMGNCMD,WAYPOINT*71\r\n";
inline constexpr std::string_view kStop = "$PMGNCMD,STOP*6A\r\n";
inline constexpr std::string_view kEnd = "$PMGNCMD,END*3D\r\n";

// The receiver keeps 100 characters of a sentence, its "$" included.
inline constexpr std::size_t kSentenceMax = 100;

// Reader errors: a bad checksum digit (2), a bad checksum or no CR after
// the digits (3), no LF after the CR (4), a sentence longer than the
// receiver keeps (5), never decoded cut.
enum ReaderError : int { kBadDigit = 2, kBadChecksum = 3, kBadLineFeed = 4, kTooLong = 5 };

class SentenceReader {
public:
    // Strict: a byte outside a sentence other than CR or LF is a broken
    // sentence (3): a lost "$" must not drop a sentence unnoticed from a
    // download.
    explicit SentenceReader(bool strict = false) : assembler_(kSentenceMax - 1), strict_(strict) {}
    // 0: more bytes needed; 1: a sentence is complete (body() holds it);
    // otherwise the reader error, negated. Not strict, noise between
    // sentences is skipped.
    int feed(char byte);
    std::string_view body() const { return assembler_.text(); }
    // A sentence has begun and not ended: the line went quiet in the middle of it.
    bool partial() const { return open_; }

private:
    SentenceAssembler assembler_;
    bool strict_;
    bool open_ = false;
};

// The body's fields, blanks at the start of each skipped.
std::vector<std::string_view> sentence_fields(std::string_view body);

// True when the body is "PMGNCMD,END" (fields after END allowed).
bool is_end(std::string_view body);

// The $PMGNVER answer: product ID, version, description.
struct Version {
    int32_t product_id = 0;
    int version_x100 = 0;       // rounded
    std::string version_text;   // at most 40 characters
    std::string description;    // at most 60
};
// False for another sentence or a missing or bad field.
bool decode_version(std::string_view body, Version& out);
// Description, ", SW ", version text; at most 80 characters.
std::string product_string(const Version& v);

// $PMGNTRK: 0 (fix tells whether the status gave a position) or the field
// error 1-21. Any other sentence: -1.
int decode_track_point(std::string_view body, TrackPosition& p, bool& fix);

// $PMGNWPL: latitude, N/S, longitude, E/W, altitude, unit M/F, ID,
// comment (optional). 0, or the field error 1-16; -1 for another sentence.
int decode_waypoint(std::string_view body, uint32_t stamp, Waypoint& w);

// "PMGNWPL,ddmm.mmm,N,dddmm.mmm,E,hhhh,M,ID,comment" with the height given
// (the receiver holds negative ones); the ID and the comment cleaned of
// what would break the sentence.
std::string waypoint_body(const Waypoint& w, int32_t height);
// The upload sentence of one waypoint, checksum and CR LF included; a
// negative height goes out as 0.
std::string waypoint_sentence(const Waypoint& w);
// "PMGNTRK,ddmm.mmm,N,dddmm.mmm,E,aaaaa,M,hhmmss.00,A,,ddmmyy", the
// altitude in whole metres.
std::string track_point_body(const TrackPosition& p);

}  // namespace orlogix::magellan
