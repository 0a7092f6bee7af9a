#pragma once
// The far end of an in-memory link: a simulated instrument. The link calls
// it on the thread that uses the link, under the link's lock, with the
// link's time. Header only, so that the simulator needs no access library.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orlogix {

class LinkPeer {
public:
    virtual ~LinkPeer() = default;
    // The bytes the program wrote (those that survived the line).
    virtual void from_program(std::string_view bytes, int64_t now_ms) = 0;
    // Moves up to max bytes that are due by now_ms into buffer; the count.
    virtual std::size_t to_program(char* buffer, std::size_t max, int64_t now_ms) = 0;
    // When the next byte comes due without further input, or -1 for never.
    virtual int64_t next_due_ms(int64_t now_ms) = 0;
    // Drops what is due and unread, as purging the driver's queues would.
    virtual void purge(int64_t now_ms) = 0;
    // The rate the program's side of the line is set to (each configure).
    virtual void set_line_rate(int baud) { (void)baud; }
};

}  // namespace orlogix
