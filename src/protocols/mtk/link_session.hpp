#pragma once
// The MTK logger on the job's link: opened at 115200 baud without flow
// control, its replies collected by the port reader thread into the reply
// channel while the job thread sends and waits. On a simulated clock (the
// in-memory link) the job thread reads the link itself while it waits, as
// simulated time has one driver; the lines go through the same channel.
#include <cstdint>
#include <string_view>

#include "protocols/mtk/reply_channel.hpp"

namespace orlogix {
class JobContext;
}

namespace orlogix::mtk {

enum class Outcome { Sent, Reply, WriteError, ReadError, NoReply, Aborted };

class LoggerLink {
public:
    explicit LoggerLink(JobContext& ctx);
    ~LoggerLink() { close(); }
    LoggerLink(const LoggerLink&) = delete;
    LoggerLink& operator=(const LoggerLink&) = delete;

    // Opens the port and starts the reader. 0, or -1 after reporting.
    int open();
    // Awaits `pending` from now on (the event reset) and sends command.
    Outcome send(Pending pending, std::string_view command, uint32_t offset = 0);
    // Waits up to ms of the job's time for the awaited reply; read errors
    // and the abort are checked after every wake.
    Outcome await(int64_t ms);
    Outcome ask(Pending pending, std::string_view command, int64_t ms, uint32_t offset = 0) {
        const Outcome sent = send(pending, command, offset);
        return sent == Outcome::Sent ? await(ms) : sent;
    }
    ReplyData data() const { return channel_.data(); }
    // Stops the reader and lets the line settle (200 ms). Safe to call twice.
    void close();

private:
    JobContext& ctx_;
    ReplyChannel channel_;
    bool pumped_ = false;
    bool open_ = false;
};

}  // namespace orlogix::mtk
