#pragma once
// The serial ports offered to the user, and how a configured port name
// ("COM3", "\\.\COM12", a bare number or a device path) becomes a device.
#include <string>
#include <vector>

namespace orlogix {

inline constexpr std::size_t kMaxListedPorts = 20;

// Where devices are looked for; tests point these at a fake tree.
struct DeviceRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

// Devices of /dev/serial/by-id first (names stable across re-plugging), then
// ttyUSB*, ttyACM* and ttyS* in numeric order, each only when the kernel has
// a driver bound to it and not already listed through a by-id link; at most 20.
std::vector<std::string> list_serial_ports(const DeviceRoots& roots = {});

// "COM%d" up to 9, "\\.\COM%d" from 10: the text a port number is kept as.
std::string com_port_name(int number);
// The port number of "COMn", "\\.\COMn" or "n" (1 and above), else 0.
int com_port_number(const std::string& name);

// The device to open: entry n of the port list for a port number, the
// value itself for a path. Empty when the number has no entry.
std::string resolve_port_name(const std::string& name, const DeviceRoots& roots = {});

}  // namespace orlogix
