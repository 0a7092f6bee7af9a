#pragma once
// The sentences a Flymaster instrument is sent and the product reply it
// gives: fixed requests as they stand, built sentences with their checksum
// (lower-case digits, upper case for the waypoint upload), and the set-data
// sentences with every field cleaned of what would break a sentence.
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix::flymaster {

// Sent as they stand ("$PFMDNL,LST,*72" although its checksum is 0x56: the
// instruments expect these bytes).
inline constexpr std::string_view kProductRequest = "$PBRSNP,*21\r\n";
inline constexpr std::string_view kTrackListRequest = "$PFMDNL,LST,*72\r\n";
inline constexpr std::string_view kWaypointsRequest = "$PFMWPL,*3c\r\n";
inline constexpr std::string_view kPowerOff = "$PFMOFF*14\r\n";

// Single bytes of the binary track download.
inline constexpr uint8_t kBlockGood = 0xB1;
inline constexpr uint8_t kBlockBad = 0xB2;
inline constexpr uint8_t kCancel = 0xB3;

// "$" body "*xx" CR LF with the checksum of body in lower-case digits.
std::string lower_checksum_sentence(std::string_view body);

// "$PFMDNL,yymmddhhmmss,*xx": the download of the track that started at this time stamp.
std::string track_request(uint32_t start_time);

// A field of a sentence: ',' '*' '$', CR, LF and bytes outside printable
// ASCII become blanks, then it is cut to max characters.
std::string sentence_field(std::string_view text, std::size_t max);

// "$PFMPLT,name,comp. number,glider brand,glider model,*xx".
std::string pilot_data_sentence(std::string_view name, std::string_view comp_number, std::string_view brand,
                                std::string_view model);
// "$PFMALT,%d,*xx".
std::string altitude_alarm_sentence(int metres);
// "$PFMIDS,comp. ID,CIVL ID,pilot name*xx"; a negative number is an empty field.
std::string ids_sentence(int64_t comp_id, int64_t civl_id, std::string_view name);

// The product reply "$PBRSNP,model,,serial,version*hh": the checksum (either
// case), at least 5 fields, field 0 "PBRSNP". False for a line that fails.
struct Product {
    std::string model;     // at most 40 characters
    std::string serial;
    std::string version;   // at most 10 characters
    bool b1nav() const { return model == "B1NAV"; }
};
bool parse_product_line(std::string_view line, Product& out);

// "Flymaster F1" and the texts a product gives: "%s: %s" device identity and
// the info line "%s %s  SN%s  SW%s".
inline constexpr const char* kProductName = "Flymaster";
std::string device_identity(const Product& p);
std::string info_line(const Product& p);

}  // namespace orlogix::flymaster
