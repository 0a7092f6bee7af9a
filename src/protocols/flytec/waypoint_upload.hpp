#pragma once
// The waypoint upload sentence of the Flytec/Brauniger instruments and the
// thousandths-of-a-minute form its coordinates (and the IQ Basic's) take.
#include <cstdint>
#include <string>

#include "core/records.hpp"

namespace orlogix::flytec {

// An angle in semicircles as thousandths of a minute, rounded half away
// from zero on the magnitude; negative stays negative.
int64_t semicircles_to_milliminutes(int32_t semicircles);

// The angle as upload sentences write it: "ddmm.mmm,N" (2 degree digits) or
// "dddmm.mmm,E" (3), the hemisphere letter after the comma.
std::string milliminute_coordinate(int32_t semicircles, int degree_digits, char positive, char negative);

// "$PBRWPR,ddmm.mmm,N,dddmm.mmm,E,,<long name>,hhhh*hh" CR LF: the comment
// cleaned and cut or padded to 17 characters, the height limited to 0..9999.
std::string waypoint_upload_sentence(const Waypoint& w);

}  // namespace orlogix::flytec
