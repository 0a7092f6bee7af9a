// The server's command buffer and grammar on arbitrary received bytes: no
// crash, every refusal has a text, and what is accepted keeps within the
// limits the server relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "control/server/network_command.hpp"

using namespace orlogix;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CommandBuffer buffer;
    // Received in pieces of the size the first byte gives, as packets come.
    const std::size_t piece = size ? (data[0] % 37) + 1 : 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        for (const CommandBuffer::Event& e : buffer.feed(bytes.substr(at, piece))) {
            check(buffer.size() <= kCommandBufferSize);
            if (e.too_long) continue;
            check(e.command.size() <= kCommandBufferSize);
            NetworkCommand c;
            std::string error;
            if (parse_network_command(e.command, c, error) < 0) {
                check(!error.empty());
                continue;
            }
            check(!c.track || (*c.track >= 0 && *c.track <= kMaxTrackSelect));
            check(c.com_number >= -1);
        }
    }
    // The whole input as one command too.
    NetworkCommand c;
    std::string error;
    if (parse_network_command(bytes, c, error) < 0) check(!error.empty());
    return 0;
}
