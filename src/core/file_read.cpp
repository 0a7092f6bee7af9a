#include "core/file_read.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "core/report.hpp"

namespace orlogix {

namespace {

// Closes the descriptor on every way out, keeping the errno of the failure.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ < 0) return;
        const int e = errno;
        ::close(fd_);
        errno = e;
    }
    int get() const { return fd_; }

private:
    int fd_;
};

FileRead failed(FileReadStep step, int error) { return FileRead{step, error}; }

}  // namespace

FileRead read_whole_file(const std::string& path, std::string& bytes) {
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return failed(FileReadStep::Open, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return failed(FileReadStep::Size, errno);
    // A pipe or device may never end; only regular files are read.
    if (!S_ISREG(st.st_mode)) return failed(FileReadStep::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    std::string data;
    try {
        // One byte more than the size, so the read that finds the end needs no growth.
        data.resize(static_cast<std::size_t>(st.st_size) + 1);
    } catch (const std::exception&) {
        return failed(FileReadStep::Memory, ENOMEM);
    }
    std::size_t got = 0;
    for (;;) {
        if (got == data.size()) {
            try {
                data.resize(data.size() * 2);
            } catch (const std::exception&) {
                return failed(FileReadStep::Memory, ENOMEM);
            }
        }
        const ssize_t n = ::read(fd.get(), data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed(FileReadStep::Read, errno);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    bytes = std::move(data);
    return got == 0 ? failed(FileReadStep::Empty, 0) : FileRead{};
}

int read_file(const std::string& path, std::string& bytes) {
    const FileRead read = read_whole_file(path, bytes);
    if (read.ok() || read.step == FileReadStep::Empty) return 0;
    errno = read.error;
    return -1;
}

int read_whole_file(Reporter& r, const std::string& path, const FileReadTitles& titles, std::string& bytes) {
    const FileRead read = read_whole_file(path, bytes);
    switch (read.step) {
        case FileReadStep::Done: return 0;
        case FileReadStep::Empty: r.error_box(titles.empty, titles.empty_text); return -1;
        case FileReadStep::Open: system_error_box(r, titles.open, read.error); return -1;
        case FileReadStep::Size: system_error_box(r, titles.size, read.error); return -1;
        case FileReadStep::NotRegular: system_error_box(r, titles.not_regular, read.error); return -1;
        case FileReadStep::Memory: system_error_box(r, titles.memory, read.error); return -1;
        case FileReadStep::Read: system_error_box(r, titles.read, read.error); return -1;
    }
    return -1;
}

}  // namespace orlogix
