#include "core/file_names.hpp"

#include <cctype>

#include "core/report.hpp"

namespace orlogix {

namespace {

// Where the extension starts, or npos.
std::size_t extension_start(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view name = path.substr(begin);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name == "..") return std::string_view::npos;
    return begin + dot;
}

}  // namespace

std::string lower_extension(std::string_view path) {
    const std::size_t dot = extension_start(path);
    if (dot == std::string_view::npos) return {};
    std::string extension(path.substr(dot));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool has_extension(std::string_view path) { return extension_start(path) != std::string_view::npos; }

std::string with_extension(std::string_view path, std::string_view extension) {
    const std::size_t dot = extension_start(path);
    std::string out(path.substr(0, dot));
    out += extension;
    return out;
}

int complete_file_name(Reporter& r, std::string& path, const char* extension, std::size_t limit) {
    std::string name = path;
    if (extension != nullptr && !has_extension(name)) name += extension;
    if (name.size() > limit) {
        r.error_box("Error opening file", "Too long file name");
        return -1;
    }
    path = std::move(name);
    return 0;
}

}  // namespace orlogix
