#include "access/user_port.hpp"

#include <cctype>

#include "access/port_list.hpp"
#include "core/report.hpp"

namespace orlogix {

int check_user_port(Reporter& r, std::string_view field, std::string& port_name) {
    static constexpr std::string_view kTitle = "Select COM port";
    while (!field.empty() && std::isspace(static_cast<unsigned char>(field.front()))) field.remove_prefix(1);
    while (!field.empty() && std::isspace(static_cast<unsigned char>(field.back()))) field.remove_suffix(1);
    if (field.empty()) return 0;
    if (field.front() == '/') {
        port_name = std::string(field);
        return 1;
    }
    long n = 0;
    for (char c : field) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            r.error_box(kTitle, "User port input error");
            return -1;
        }
        if (n < 1000) n = n * 10 + (c - '0');
    }
    if (n < 1 || n > 20) {
        r.error_box(kTitle, "User port out of range (1-20)");
        return -1;
    }
    port_name = com_port_name(static_cast<int>(n));
    return 1;
}

}  // namespace orlogix
