#include "access/debug_trace.hpp"

#include <cerrno>
#include <mutex>

#include "core/report.hpp"
#include "core/text_buffer.hpp"

namespace orlogix {

namespace {

struct TraceBuffer {
    std::mutex mutex;
    std::string bytes;   // never longer than kTraceLimit

    TraceBuffer() { bytes.reserve(kTraceLimit); }
    std::size_t room() const { return kTraceLimit - bytes.size(); }
};

TraceBuffer& trace() {
    static TraceBuffer buffer;
    return buffer;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

void trace_byte(uint8_t byte) {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    if (t.room() > 0) t.bytes.push_back(static_cast<char>(byte));
}

void trace_bytes(const void* data, std::size_t count) {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    std::size_t n = count < t.room() ? count : t.room();
    t.bytes.append(static_cast<const char*>(data), n);
}

void trace_text(std::string_view text) { trace_bytes(text.data(), text.size()); }

void trace_hex(const void* data, std::size_t count) {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    const auto* p = static_cast<const uint8_t*>(data);
    for (std::size_t i = 0; i < count; ++i) {
        bool line_end = (i + 1) % 16 == 0;
        if (t.room() < (line_end ? 5u : 3u)) return;
        char piece[5] = {' ', kHexDigits[p[i] >> 4], kHexDigits[p[i] & 15], '\r', '\n'};
        t.bytes.append(piece, line_end ? 5 : 3);
    }
    if (count % 16 != 0 && t.room() >= 2) t.bytes.append("\r\n");
}

void trace_hex32(uint32_t value) {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    if (t.room() < 8) return;
    for (int shift = 28; shift >= 0; shift -= 4) t.bytes.push_back(kHexDigits[(value >> shift) & 15]);
}

void clear_trace() {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    t.bytes.clear();
}

std::size_t trace_size() {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    return t.bytes.size();
}

std::string trace_snapshot() {
    auto& t = trace();
    std::lock_guard lock(t.mutex);
    return t.bytes;
}

int save_debug_buffer(Reporter& r, const std::string& path) {
    static constexpr std::string_view kTitle = "Save debug buffer";
    std::string bytes = trace_snapshot();
    if (bytes.empty()) {
        r.error_box(kTitle, "Buffer is empty");
        return -1;
    }
    if (write_file_atomic(path, bytes) != 0) {
        system_error_box(r, "File write error", errno);
        return -1;
    }
    r.notice_box(kTitle, "File written");
    return 0;
}

}  // namespace orlogix
