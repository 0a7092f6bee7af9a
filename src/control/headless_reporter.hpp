#pragma once
// The Reporter of the headless runner: boxes go to standard error as
// "Title: text"; questions are asked on the terminal when there is one and
// otherwise take the refusing answer; status texts of a running transfer
// show as one updating progress line on a terminal. Progress texts go to
// the notification channel.
#include <cstdio>
#include <mutex>
#include <string>

#include "core/report.hpp"

namespace orlogix {

class Notifier;

class HeadlessReporter : public Reporter {
public:
    // err: where boxes and progress go; in: where answers come from (nullptr: none).
    HeadlessReporter(std::FILE* err = stderr, std::FILE* in = stdin);

    void set_notifier(Notifier* n) { notifier_ = n; }
    // Whether answers may be read from the input (a terminal).
    void set_interactive(bool on) { interactive_ = on; }
    bool interactive() const { return interactive_; }
    void set_progress_line(bool on) { progress_line_ = on; }

    void error_box(std::string_view title, std::string_view text) override;
    void notice_box(std::string_view title, std::string_view text) override;
    void warning_box(std::string_view title, std::string_view text) override;
    int question_box(std::string_view title, std::string_view text) override;
    int yes_no_box(std::string_view title, std::string_view text) override;
    void status(std::string_view text) override;
    void product(std::string_view text) override;
    int choose(std::string_view title, const std::vector<std::string>& items, int default_index) override;
    void notify(std::string_view text) override;
    void progress_waypoints(int count) override;
    void progress_position(uint32_t time, int32_t latitude, int32_t longitude, int32_t gps_altitude_dm) override;

    // Ends an open progress line so the next output starts on its own line.
    void finish_progress();
    const std::string& last_status() const { return last_status_; }

private:
    void line(std::string_view title, std::string_view text);
    std::string ask(std::string_view prompt);

    std::FILE* err_;
    std::FILE* in_;
    bool interactive_ = false;
    bool progress_line_ = false;
    bool progress_open_ = false;
    Notifier* notifier_ = nullptr;
    std::string last_status_;
    std::mutex mutex_;
};

}  // namespace orlogix
