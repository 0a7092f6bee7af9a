#include "core/report.hpp"

#include <cstdarg>
#include <cstdio>
#include <system_error>

namespace orlogix {

std::string system_error_text(int error_code) { return std::system_category().message(error_code); }

void system_error_box(Reporter& r, std::string_view title, int error_code) {
    r.error_box(title, system_error_text(error_code));
}

std::string format_counts(std::string_view templ, long long a, long long b, long long c, long long d) {
    const long long values[] = {a, b, c, d};
    std::string out;
    out.reserve(templ.size() + 16);
    int used = 0;
    for (char ch : templ) {
        if (ch != '%') {
            out += ch;
            continue;
        }
        out += std::to_string(values[used < 3 ? used : 3]);
        ++used;
    }
    return out;
}

std::string strformat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, args);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return out;
}

}  // namespace orlogix
