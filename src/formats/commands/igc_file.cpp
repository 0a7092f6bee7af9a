#include "formats/commands/igc_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "core/report.hpp"
#include "formats/igc/reader.hpp"

namespace orlogix {

namespace {

// Closes the descriptor on every way out.
struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

int read_igc_bytes(Reporter& r, const std::string& path, const IgcFileTitles& titles, std::string& bytes) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        system_error_box(r, titles.open, errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(file.fd, &st) != 0) {
        system_error_box(r, titles.size, errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        system_error_box(r, titles.open, EISDIR);
        return -1;
    }
    if (st.st_size == 0) {
        r.error_box(titles.empty, "File is empty");
        return -1;
    }
    std::string data;
    try {
        data.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        system_error_box(r, titles.memory, ENOMEM);
        return -1;
    }
    std::size_t got = 0;
    while (got < data.size()) {
        const ssize_t n = ::read(file.fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            system_error_box(r, titles.read, errno);
            return -1;
        }
        if (n == 0) break;  // shrank while reading: keep what is there
        got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    bytes = std::move(data);
    return 0;
}

int read_igc_log_file(Reporter& r, std::string_view base_name, std::vector<TrackPosition>& positions, RawIgcLog& raw) {
    if (base_name.size() > 256) {
        r.error_box(kIgcReadTitle, "File name too long");
        return -1;
    }
    const IgcFileTitles titles{"Error opening file", "Error opening IGC Log File", kIgcReadTitle,
                               "Memory allocation error", "IGC track log file read error"};
    std::string bytes;
    if (read_igc_bytes(r, std::string(base_name) + ".igc", titles, bytes) < 0) return -1;
    return read_igc_track(r, bytes, positions, raw);
}

}  // namespace orlogix
