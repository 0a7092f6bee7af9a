#pragma once
// The debug trace: every byte written to a link, the input of the readers
// that trace it and diagnostic lines, kept in one process-wide buffer of
// 100000 bytes that a user can save for diagnosis. Every operation takes the
// buffer's mutex, so jobs of several server sessions may trace at once.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

inline constexpr std::size_t kTraceLimit = 100000;

// Raw bytes and text: appended while there is room, the rest is dropped.
void trace_byte(uint8_t byte);
void trace_bytes(const void* data, std::size_t count);
void trace_text(std::string_view text);
// " XX" per byte, CR LF after every 16th byte and after a last partial line;
// each piece goes in only when it fits whole.
void trace_hex(const void* data, std::size_t count);
// Eight upper-case hexadecimal digits, when they fit.
void trace_hex32(uint32_t value);
void clear_trace();

std::size_t trace_size();
std::string trace_snapshot();

// Writes the filled part of the buffer to path: "Buffer is empty" or
// "File written" (title "Save debug buffer"), or the system error text
// titled "File write error". 0 or -1.
int save_debug_buffer(Reporter& r, const std::string& path);

}  // namespace orlogix
