#include "protocols/flytec/iq_basic_commands.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/waypoint_upload.hpp"
#include "protocols/nmea/sentence.hpp"

namespace orlogix::flytec {

std::string iq_track_request(uint32_t number) {
    if (number > 255) return {};
    char text[16];
    std::snprintf(text, sizeof text, "ACT_21_%02X\r\n", number);
    return text;
}

RpaReply parse_rpa_reply(std::string_view line, int parameter, uint32_t& value) {
    char prefix[12];
    std::snprintf(prefix, sizeof prefix, "RPA_%02d_", parameter);
    if (!line.starts_with(prefix)) return RpaReply::WrongReply;
    std::string_view digits = line.substr(7);
    while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
    if (digits.size() % 2 != 0 || digits.size() > 8) return RpaReply::BadValue;
    uint32_t v = 0;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hex_digit(digits[i]), low = hex_digit(digits[i + 1]);
        if (high < 0 || low < 0) return RpaReply::BadValue;
        v |= static_cast<uint32_t>(high * 16 + low) << (4 * i);
    }
    value = v;
    return RpaReply::Value;
}

std::string iq_product_name(const IqProduct& p) { return p.device_type == 0 ? "6015" : "IQ-BASIC"; }

std::string iq_device_identity(const IqProduct& p) {
    char text[80];
    std::snprintf(text, sizeof text, "%s, SW %u.%u.%02u, S/N %u", iq_product_name(p).c_str(), p.version / 1000,
                  p.version / 100 % 10, p.version % 100, p.serial);
    return text;
}

std::string iq_waypoint_upload(const Waypoint& w) {
    auto part = [](int32_t semicircles, const char* format, char positive, char negative) {
        const int64_t m = semicircles_to_milliminutes(semicircles);
        const auto a = static_cast<unsigned>(std::llabs(m));
        char text[24];
        std::snprintf(text, sizeof text, format, m < 0 ? negative : positive, a / 60000, a / 1000 % 60, a % 1000);
        return std::string(text);
    };
    char height[16];
    std::snprintf(height, sizeof height, "%6d", std::clamp(w.height, -2000, 10000));
    return "ACT_32_00\r\n" + fixed_width_text(w.comment, 16, ";") + ';' +
           part(w.latitude, "%c  %02u'%02u.%03u", 'N', 'S') + ';' + part(w.longitude, "%c %03u'%02u.%03u", 'E', 'W') +
           ';' + height + ";   400\r\n";
}

}  // namespace orlogix::flytec
