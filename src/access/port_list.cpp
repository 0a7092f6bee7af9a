#include "access/port_list.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

namespace orlogix {

namespace fs = std::filesystem;

namespace {

bool has_driver(const DeviceRoots& roots, const std::string& tty_name) {
    std::error_code ec;
    return fs::exists(fs::path(roots.sys) / "class" / "tty" / tty_name / "device" / "driver", ec);
}

// Numbered devices with the prefix, in numeric order (ttyUSB2 before ttyUSB10).
std::vector<std::string> numbered_devices(const DeviceRoots& roots, const std::string& prefix) {
    std::vector<std::pair<long, std::string>> found;
    std::error_code ec;
    for (fs::directory_iterator it(roots.dev, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string digits = name.substr(prefix.size());
        if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        found.emplace_back(std::stol(digits), name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& f : found) names.push_back(f.second);
    return names;
}

std::string canonical_text(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal().string() : c.string();
}

}  // namespace

std::vector<std::string> list_serial_ports(const DeviceRoots& roots) {
    std::vector<std::string> ports;
    std::set<std::string> covered;   // canonical device paths already listed

    std::vector<fs::path> by_id;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(roots.dev) / "serial" / "by-id", ec), end; !ec && it != end;
         it.increment(ec))
        by_id.push_back(it->path());
    std::sort(by_id.begin(), by_id.end());
    for (const auto& link : by_id) {
        std::string target = canonical_text(link);
        if (!has_driver(roots, fs::path(target).filename().string())) continue;
        if (!covered.insert(target).second) continue;
        if (ports.size() < kMaxListedPorts) ports.push_back(link.string());
    }

    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        for (const auto& name : numbered_devices(roots, prefix)) {
            if (ports.size() >= kMaxListedPorts) return ports;
            if (!has_driver(roots, name)) continue;
            fs::path device = fs::path(roots.dev) / name;
            if (!covered.insert(canonical_text(device)).second) continue;
            ports.push_back(device.string());
        }
    }
    return ports;
}

std::string com_port_name(int number) {
    return (number <= 9 ? "COM" : "\\\\.\\COM") + std::to_string(number);
}

int com_port_number(const std::string& name) {
    std::string rest = name;
    if (rest.rfind("\\\\.\\", 0) == 0) rest = rest.substr(4);
    if (rest.size() >= 3 && std::toupper(static_cast<unsigned char>(rest[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(rest[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(rest[2])) == 'M')
        rest = rest.substr(3);
    if (rest.empty() || rest.size() > 6) return 0;
    for (unsigned char c : rest)
        if (!std::isdigit(c)) return 0;
    int n = std::stoi(rest);
    return n > 0 ? n : 0;
}

std::string resolve_port_name(const std::string& name, const DeviceRoots& roots) {
    if (name.find('/') != std::string::npos) return name;
    int n = com_port_number(name);
    if (n <= 0) return {};
    auto ports = list_serial_ports(roots);
    if (static_cast<std::size_t>(n) > ports.size()) return {};
    return ports[static_cast<std::size_t>(n) - 1];
}

}  // namespace orlogix
