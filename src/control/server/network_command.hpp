#pragma once
// A client's command line: "$Orlogix " and "/key=value" parameters, and the
// buffer that collects it from the received bytes. Pure: no sockets here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlogix {

inline constexpr const char* kDecodeTitle = "Decode network command";
inline constexpr std::size_t kCommandBufferSize = 100;
inline constexpr int kMaxTrackSelect = 31;

struct NetworkCommand {
    std::string com;                 // "" (none), a port number in decimal, or a device path
    int com_number = -1;             // the number com names, -1 when none or a path
    std::string gps;                 // the server name of the instrument, "" = none
    std::optional<uint32_t> abort;   // abort=
    std::optional<int> track;        // track= (0-31)
    bool igc = false;                // igc=1: deliver the flight after the download
};

// Parses one command (its NUL already taken off). 0, or -1 with the error
// text the client is sent under kDecodeTitle.
int parse_network_command(std::string_view line, NetworkCommand& out, std::string& error);

// Collects commands from received bytes: a NUL ends one. A command that
// outgrows the buffer is never executed cut short: its end (a NUL or a line
// feed) gives a "too long" event instead, and the bytes up to there are dropped.
class CommandBuffer {
public:
    struct Event {
        bool too_long = false;
        std::string command;   // without the NUL
    };
    // Appends the bytes; the commands (and "too long" events) they completed, in order.
    std::vector<Event> feed(std::string_view bytes);
    std::size_t size() const { return buffer_.size(); }

private:
    std::string buffer_;
    bool overflowed_ = false;
};

}  // namespace orlogix
