#pragma once
// The waypoint download of the Flytec/Brauniger instruments as a byte state
// machine: "$PBRWPS," latitude, hemisphere, longitude, hemisphere,
// identifier, long name, altitude, "*hh" CR LF. Everything that does not
// begin "$PBRWPS," is skipped; a broken sentence is a numbered error.
#include <cstdint>
#include <string>

#include "core/records.hpp"

namespace orlogix::flytec {

struct WaypointSentence {
    double latitude = 0.0;    // radians, north positive
    double longitude = 0.0;   // radians, east positive
    std::string identifier;   // as sent, at most 6 characters
    std::string long_name;    // as sent, at most 17 characters
    int altitude = 0;         // metres
};

class WaypointDecoder {
public:
    // 0: more bytes wanted; 1: sentence() holds a complete waypoint;
    // a negative value -n: error n (the decoder then waits for the next "$").
    int feed(char byte);
    const WaypointSentence& sentence() const { return out_; }
    // True between a "$" and the end of its sentence.
    bool in_sentence() const { return state_ != State::Hunt; }
    void reset();

private:
    enum class State {
        Hunt, Prefix, LatInt, LatFrac, LatHemi, LatComma, LonInt, LonFrac, LonHemi, LonComma,
        Identifier, LongName, Altitude, Star, Digit1, Digit2, Cr, Lf,
    };
    int fail(int error);
    int coordinate(char byte, bool fraction, bool longitude);
    int hemisphere(char byte, bool longitude);
    void finish_coordinate(bool longitude);

    State state_ = State::Hunt;
    std::size_t matched_ = 0;
    uint8_t sum_ = 0;
    unsigned received_ = 0;
    uint32_t whole_ = 0;        // ddmm or dddmm as digits arrive
    double fraction_ = 0.0, scale_ = 0.1;
    std::string altitude_;
    WaypointSentence out_;
};

// The waypoint a sentence gives: identifier from the identifier field, else
// from the long name, else "Z" (upper case, up to the first blank); comment
// the long name with blanks collapsed, upper case; the given time stamp.
Waypoint waypoint_from_sentence(const WaypointSentence& s, uint32_t time);

}  // namespace orlogix::flytec
