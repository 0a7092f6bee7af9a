#include "control/output_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

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

OutputDecision decide_output_file(Reporter& r, const std::string& path, bool overwrite, bool hidden) {
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        system_error_box(r, "Error opening file", EISDIR);
        return OutputDecision::Fail;
    }
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) parent = ".";
    if (::access(parent.c_str(), W_OK) != 0) {
        system_error_box(r, "Error opening file", errno);
        return OutputDecision::Fail;
    }
    if (!exists || overwrite) return OutputDecision::Write;
    if (hidden) {
        r.error_box("File creation", "File already exists: " + path);
        return OutputDecision::Fail;
    }
    return r.question_box("File creation", "File already exists, overwrite ?") == kBoxOk ? OutputDecision::Write
                                                                                       : OutputDecision::Declined;
}

}  // namespace orlogix
