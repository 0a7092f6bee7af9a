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

namespace {

// The bytes in a new, synced temporary file beside path; its name in temp. 0 or -1 (errno set, nothing left).
int write_temporary(const std::filesystem::path& target, std::string_view bytes, std::string& temp) {
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
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
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        errno = e;
        return -1;
    }
    return 0;
}

void sync_folder(const std::filesystem::path& target) {
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

int write_file_atomic(const std::string& path, std::string_view bytes) {
    std::string temp;
    if (write_temporary(path, bytes, temp) != 0) return -1;
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(temp.c_str());
        errno = e;
        return -1;
    }
    return 0;
}

int write_file_new(const std::string& path, std::string_view bytes, bool replace) {
    std::string temp;
    if (write_temporary(path, bytes, temp) != 0) return -1;
    // link refuses an existing name, where rename would silently replace it.
    const int rc = replace ? std::rename(temp.c_str(), path.c_str()) : ::link(temp.c_str(), path.c_str());
    const int e = errno;
    if (rc != 0 || !replace) ::unlink(temp.c_str());
    if (rc != 0) {
        errno = e;
        return -1;
    }
    sync_folder(path);
    return 0;
}

}  // namespace orlogix
