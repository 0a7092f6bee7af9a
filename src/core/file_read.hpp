#pragma once
// Reading a whole file into memory: the one place that opens, sizes and reads
// files for the readers. It shows nothing; each caller turns the failed step
// into its own message and title.
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

enum class FileReadStep {
    Done,
    Open,        // could not be opened
    Size,        // opened, but its size could not be had
    NotRegular,  // a folder, device or pipe: error is EISDIR for a folder, else EINVAL
    Empty,       // a regular file of no bytes (bytes is then empty)
    Memory,      // no room for its bytes (error ENOMEM)
    Read,        // a read failed
};

struct FileRead {
    FileReadStep step = FileReadStep::Done;
    int error = 0;  // the errno of the failed step
    bool ok() const { return step == FileReadStep::Done; }
};

// Reads the regular file at path whole into bytes (replaced only on success
// or Empty). The descriptor is closed on every path, interrupted reads are
// retried, and a file that shrinks or grows while being read gives the bytes
// it had when the end was reached.
FileRead read_whole_file(const std::string& path, std::string& bytes);

// The short form: 0, or -1 with errno set; an empty file gives 0 and no bytes.
int read_file(const std::string& path, std::string& bytes);

// The titles one reader shows its failures under: the system's text for the
// error of the failed step, and empty_text for an empty file.
struct FileReadTitles {
    std::string_view open;
    std::string_view size;
    std::string_view not_regular;
    std::string_view empty;
    std::string_view memory;
    std::string_view read;
    std::string_view empty_text = "File is empty";
};

// read_whole_file with the failure shown: 0, or -1 after one error box.
int read_whole_file(Reporter& r, const std::string& path, const FileReadTitles& titles, std::string& bytes);

}  // namespace orlogix
