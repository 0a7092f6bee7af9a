#include "protocols/flymaster/sentences.hpp"

#include <cstdio>

#include "core/records.hpp"
#include "core/time.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flymaster {

std::string lower_checksum_sentence(std::string_view body) {
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02x\r\n", nmea_checksum(body));
    return "$" + std::string(body) + tail;
}

std::string track_request(uint32_t start_time) {
    const CalendarTime c = calendar_from_time(start_time);
    char body[40];
    std::snprintf(body, sizeof body, "PFMDNL,%02d%02d%02d%02d%02d%02d,", c.year - 2000, c.month, c.day, c.hour,
                  c.minute, c.second);
    return lower_checksum_sentence(body);
}

std::string sentence_field(std::string_view text, std::size_t max) {
    std::string out;
    for (const char ch : text) {
        if (out.size() == max) break;
        const auto b = static_cast<unsigned char>(ch);
        out += (b < 0x20 || b > 0x7E || ch == ',' || ch == '*' || ch == '$') ? ' ' : ch;
    }
    return out;
}

std::string pilot_data_sentence(std::string_view name, std::string_view comp_number, std::string_view brand,
                                std::string_view model) {
    return lower_checksum_sentence("PFMPLT," + sentence_field(name, 14) + ',' + sentence_field(comp_number, 7) + ',' +
                                   sentence_field(brand, 14) + ',' + sentence_field(model, 14) + ',');
}

std::string altitude_alarm_sentence(int metres) {
    return lower_checksum_sentence("PFMALT," + std::to_string(metres) + ',');
}

std::string ids_sentence(int64_t comp_id, int64_t civl_id, std::string_view name) {
    auto number = [](int64_t n) { return n < 0 ? std::string() : std::to_string(n); };
    return lower_checksum_sentence("PFMIDS," + number(comp_id) + ',' + number(civl_id) + ',' +
                                   sentence_field(name, 14));
}

bool parse_product_line(std::string_view line, Product& out) {
    std::string_view text;
    if (!nmea_checksum_ok(line, text)) return false;
    const std::vector<std::string_view> f = nmea_fields(text);
    if (f.size() < 5 || f[0] != "PBRSNP") return false;
    out.model = std::string(f[1].substr(0, 40));
    out.serial = std::string(f[3]);
    out.version = std::string(f[4].substr(0, 10));
    return true;
}

std::string device_identity(const Product& p) {
    return (std::string(kProductName) + ": " + p.serial).substr(0, kDeviceIdentityMax);
}

std::string info_line(const Product& p) {
    return std::string(kProductName) + " " + p.model + "  SN" + p.serial + "  SW" + p.version;
}

}  // namespace orlogix::flymaster
