#pragma once
// The one reporting interface behind every message box, status line and user
// choice. The window, the headless runner and the TCP server implement it;
// core and job code only talk to it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orlogix {

inline constexpr int kBoxOk = 1;
inline constexpr int kBoxCancel = 2;
inline constexpr int kBoxYes = 6;
inline constexpr int kBoxNo = 7;

class Reporter {
public:
    virtual ~Reporter() = default;

    // The five modal boxes: a title and one text line.
    virtual void error_box(std::string_view title, std::string_view text) = 0;
    virtual void notice_box(std::string_view title, std::string_view text) = 0;
    virtual void warning_box(std::string_view title, std::string_view text) = 0;
    virtual int question_box(std::string_view title, std::string_view text) = 0;  // kBoxOk / kBoxCancel
    virtual int yes_no_box(std::string_view title, std::string_view text) = 0;    // kBoxYes / kBoxNo

    // Job reporting: main status line, second status line, job error.
    virtual void status(std::string_view text) = 0;
    virtual void product(std::string_view text) = 0;
    virtual void job_error(std::string_view text, std::string_view title) { error_box(title, text); }

    // Progress for a caller watching the transfer (command-line
    // notifications): the protocol's own progress texts, and counts and
    // positions that the receiver throttles.
    virtual void notify(std::string_view text) { (void)text; }
    virtual void progress_waypoints(int count) { (void)count; }
    virtual void progress_bytes(long long count) { (void)count; }
    virtual void progress_position(uint32_t time, int32_t latitude, int32_t longitude, int32_t gps_altitude_dm) {
        (void)time;
        (void)latitude;
        (void)longitude;
        (void)gps_altitude_dm;
    }

    // A blocking choice from a list (track lists, split logs). Returns the
    // chosen index, or -1 for cancel. Without anyone to ask: the default.
    virtual int choose(std::string_view title, const std::vector<std::string>& items, int default_index) {
        (void)title;
        (void)items;
        return default_index;
    }
    // A choice of several lines (a track list) with notes shown above them:
    // the chosen lines in order, empty for none or a closed dialog. Without a
    // dialog of its own a reporter offers the lines one at a time through
    // choose(); without anyone to ask: the default line alone.
    virtual std::vector<int> choose_many(std::string_view title, const std::vector<std::string>& notes,
                                         const std::vector<std::string>& items, int default_index) {
        (void)notes;
        const int chosen = choose(title, items, default_index);
        if (chosen < 0) return {};
        return {chosen};
    }
    // A notice with a check box under it (check: its label): true when the
    // box was ticked. Without a dialog of its own a reporter shows the
    // notice alone and the box stays clear.
    virtual bool notice_with_check(std::string_view title, std::string_view text, std::string_view check) {
        (void)check;
        notice_box(title, text);
        return false;
    }
    // A form over texts an instrument answered (read), for the user to
    // change: true with the wanted texts in texts, false for a closed form.
    // Without anyone to ask, the texts prepared beforehand stay as they are.
    virtual bool edit_texts(std::string_view title, const std::vector<std::string>& read,
                            std::vector<std::string>& texts) {
        (void)title;
        (void)read;
        (void)texts;
        return true;
    }
    // A save dialog asked from a job: the filters as labels with their
    // patterns ("KML files (*.kml)"). The chosen path and the index of the
    // filter it was chosen under; an empty path for a closed dialog, and
    // without anyone to ask.
    struct SaveChoice {
        std::string path;
        int filter = 0;
    };
    virtual SaveChoice ask_save_path(std::string_view title, const std::vector<std::string>& filters) {
        (void)title;
        (void)filters;
        return {};
    }
};

// A Reporter that shows nothing and refuses every question: for work that
// must run unattended (fuzzing, batch checks). Choices take the default.
class SilentReporter : public Reporter {
public:
    void error_box(std::string_view, std::string_view) override {}
    void notice_box(std::string_view, std::string_view) override {}
    void warning_box(std::string_view, std::string_view) override {}
    int question_box(std::string_view, std::string_view) override { return kBoxCancel; }
    int yes_no_box(std::string_view, std::string_view) override { return kBoxNo; }
    void status(std::string_view) override {}
    void product(std::string_view) override {}
};

// The operating system's text for an errno value, in an error box.
void system_error_box(Reporter& r, std::string_view title, int error_code);
std::string system_error_text(int error_code);

// Replaces each "%" of the template by the next count: the first by a, the
// second by b, the third by c, every further one by d.
std::string format_counts(std::string_view templ, long long a = 0, long long b = 0, long long c = 0,
                          long long d = 0);

// printf-style formatting into a growable string (nothing is cut).
std::string strformat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace orlogix
