#pragma once
// What the product reply says about a Flytec/Brauniger instrument: its
// fields, the product name of its model, whether it keeps a track list,
// and the texts the track log header takes from them.
#include <string>
#include <string_view>
#include <vector>

namespace orlogix::flytec {

struct ProductInfo {
    std::string model;     // at most 16 characters, blanks collapsed, upper case
    std::string pilot;     // at most 40, blanks collapsed
    std::string serial;    // at most 7, blanks collapsed
    std::string version;   // at most 6, blanks collapsed ("2.20")
};

enum class ProductReply { Taken, NotProduct, NoPilot };
// A line as the line assembler gave it. NotProduct: not a valid "$PBRSNP"
// sentence of five fields (the attempt goes on waiting); NoPilot: the
// pilot name is empty ("Bad/missing user name").
ProductReply parse_product_reply(std::string_view line, ProductInfo& out);

// The first row of the model table whose text the model contains; "Unknown" else.
std::string product_name(std::string_view model);

// True when the model keeps a track list (then the list is read and tracks
// are chosen); otherwise only the newest track is downloaded.
bool supports_track_list(std::string_view model, std::string_view version);

// Header texts: model, serial and version (at most 80 characters), and the
// product name with the serial (at most 50).
std::string instrument_description(const ProductInfo& p);
std::string device_identity(const ProductInfo& p);

}  // namespace orlogix::flytec
