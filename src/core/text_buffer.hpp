#pragma once
// The growing text buffer every text writer appends to. Writers build their
// whole file here and hand it to write_file_atomic in one step.
#include <cstddef>
#include <string>
#include <string_view>

namespace orlogix {

class TextBuffer {
public:
    explicit TextBuffer(std::size_t initial_capacity = 10000) { text_.reserve(initial_capacity); }

    // Appends one piece; 0, or -1 when memory could not be had (the caller
    // then reports "Memory allocation error" with its own title and writes nothing).
    int append_line(std::string_view piece);
    // printf-style piece; no length limit.
    int appendf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

    const std::string& text() const { return text_; }
    std::string take() { return std::move(text_); }
    std::size_t size() const { return text_.size(); }
    bool failed() const { return failed_; }

private:
    std::string text_;
    bool failed_ = false;
};

// Writes bytes to a temporary file in the same folder and renames it into
// place, so a failure never leaves a half-written file. 0, or -1 with errno set.
int write_file_atomic(const std::string& path, std::string_view bytes);

// The same for a file that must not replace another: the temporary file is
// linked into place, so a name that exists (or appears meanwhile) keeps its
// bytes and the call fails with EEXIST. The folder is synced afterwards, so a
// watcher of the folder never sees a half file. With replace (after the user
// allowed it) the file is renamed over an existing one instead. 0, or -1 with
// errno set; no temporary file is left behind either way.
int write_file_new(const std::string& path, std::string_view bytes, bool replace = false);

}  // namespace orlogix
