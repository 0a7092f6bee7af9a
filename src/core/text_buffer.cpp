#include "core/text_buffer.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <new>

namespace orlogix {

int TextBuffer::append_line(std::string_view piece) {
    if (failed_) return -1;
    try {
        text_.append(piece);
    } catch (const std::bad_alloc&) {
        // The writer reports and writes nothing; keep no half-built text.
        failed_ = true;
        std::string().swap(text_);
        return -1;
    }
    return 0;
}

int TextBuffer::appendf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n < 0) {
        va_end(args);
        return -1;
    }
    std::string piece(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(piece.data(), piece.size(), fmt, args);
    va_end(args);
    piece.resize(static_cast<std::size_t>(n));
    return append_line(piece);
}

namespace {

int write_all(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

int write_file_atomic(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    fs::path target(path);
    fs::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return -1;
    // mkstemp creates 0600; a saved file gets the usual permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (write_all(fd, bytes) != 0 || ::fsync(fd) != 0) {
        int e = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        errno = e;
        return -1;
    }
    if (::close(fd) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        errno = e;
        return -1;
    }
    return 0;
}

}  // namespace orlogix
