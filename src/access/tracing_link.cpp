#include "access/tracing_link.hpp"

#include "access/debug_trace.hpp"

namespace orlogix {

int TracingLink::read(uint8_t* buffer, std::size_t max, int timeout_ms) {
    const int n = inner_->read(buffer, max, timeout_ms);
    if (n > 0 && trace_input_.load()) trace_bytes(buffer, static_cast<std::size_t>(n));
    return n;
}

int TracingLink::write(const uint8_t* data, std::size_t count) {
    trace_bytes(data, count);
    return inner_->write(data, count);
}

}  // namespace orlogix
