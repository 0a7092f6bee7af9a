#include "control/output_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/overwrite.hpp"
#include "core/report.hpp"
#include "core/time.hpp"

namespace orlogix {

std::string replace_date(std::string name, uint32_t time) {
    CalendarTime c = calendar_from_time(time);
    std::string date = strformat("%d%02d%02d", c.year, c.month, c.day);
    for (std::size_t at = name.find("$date"); at != std::string::npos; at = name.find("$date", at + date.size()))
        name.replace(at, 5, date);
    return name;
}

bool name_fits_platform(const std::string& path) {
    if (path.size() >= kPathLimit) return false;
    for (std::size_t start = 0; start <= path.size();) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash - start > kNameLimit) return false;
        start = slash + 1;
    }
    return true;
}

std::string known_folder(const std::string& name, bool is_folder) {
    std::string folder = name;
    if (!is_folder) {
        const std::size_t slash = folder.rfind('/');
        folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    }
    if (const std::size_t date = folder.find("$date"); date != std::string::npos) {
        const std::size_t slash = date == 0 ? std::string::npos : folder.rfind('/', date - 1);
        folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    }
    return folder.empty() ? "." : folder;
}

int folder_problem(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

void path_error_box(Reporter& r, const char* title, const std::string& text, const std::string& path, int error) {
    r.error_box(title, text + ": " + path + ": " + system_error_text(error));
}

namespace {

constexpr const char* kOpenTitle = "Error opening file";

// Why the file cannot be created or replaced where the name says, as an errno; 0 when it can.
int place_problem(const std::string& path, bool& exists) {
    struct stat st {};
    exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return EISDIR;
    return folder_problem(known_folder(path, false));
}

void open_error(Reporter& r, const std::string& path, int error) {
    r.error_box(kOpenTitle, path + ": " + system_error_text(error));
}

void exists_error(Reporter& r, const std::string& path) { r.error_box("File creation", "File already exists: " + path); }

}  // namespace

OutputDecision decide_output_file(Reporter& r, const std::string& path, bool overwrite, bool hidden) {
    bool exists = false;
    if (const int e = place_problem(path, exists)) {
        open_error(r, path, e);
        return OutputDecision::Fail;
    }
    if (!exists || overwrite) return OutputDecision::Write;
    if (hidden) {
        exists_error(r, path);
        return OutputDecision::Fail;
    }
    return ask_overwrite(r, OverwriteBox::OkCancel) ? OutputDecision::Write : OutputDecision::Declined;
}

int check_output_place(Reporter& r, const std::string& name, bool overwrite, bool hidden) {
    // With a "$date" only the folder before it is known yet; without one the
    // whole answer is, except a question a user may still answer.
    bool exists = false;
    const int e = name.find("$date") != std::string::npos ? folder_problem(known_folder(name, false))
                                                           : place_problem(name, exists);
    if (e != 0) {
        open_error(r, name, e);
        return -1;
    }
    if (exists && !overwrite && hidden) {
        exists_error(r, name);
        return -1;
    }
    return 0;
}

}  // namespace orlogix
