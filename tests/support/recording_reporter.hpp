#pragma once
// A Reporter for tests: records every box, status, product text and
// notification, and answers questions from a queue (default: the refusing
// answer).
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/report.hpp"

namespace orlogix::test {

struct Box {
    std::string kind;   // "error", "notice", "warning", "question", "yesno"
    std::string title;
    std::string text;
};

class RecordingReporter : public Reporter {
public:
    void error_box(std::string_view title, std::string_view text) override;
    void notice_box(std::string_view title, std::string_view text) override;
    void warning_box(std::string_view title, std::string_view text) override;
    int question_box(std::string_view title, std::string_view text) override;
    int yes_no_box(std::string_view title, std::string_view text) override;
    void status(std::string_view text) override;
    void product(std::string_view text) override;
    int choose(std::string_view title, const std::vector<std::string>& items, int default_index) override;
    void notify(std::string_view text) override;
    // The track-list choice: what it showed is kept; `choice` answers it when
    // set, else it goes as it would with no one to ask.
    std::vector<int> choose_many(std::string_view title, const std::vector<std::string>& notes,
                                 const std::vector<std::string>& items, int newest) override;
    std::optional<std::vector<int>> choice;
    // A notice with a check box: recorded as a notice; ticked when tick_checks is set.
    bool notice_with_check(std::string_view title, std::string_view text, std::string_view check) override;
    bool tick_checks = false;
    std::string choice_title;
    std::vector<std::string> choice_notes, choice_lines;
    // A job's save dialog: answered with save_choice (empty path: closed);
    // the title and filters it showed are kept.
    SaveChoice ask_save_path(std::string_view title, const std::vector<std::string>& filters) override;
    SaveChoice save_choice;
    std::string save_title;
    std::vector<std::string> save_filters;

    // Answers for the next question / yes-no boxes and list choices, in order.
    void queue_answer(int answer);

    std::vector<Box> boxes() const;
    std::vector<std::string> statuses() const;
    std::vector<std::string> products() const;
    std::vector<std::string> notes() const;
    bool has_status(std::string_view text) const;
    bool has_status_prefix(std::string_view prefix) const;
    // The last error box, or an empty Box.
    Box last_error() const;
    int count(const std::string& kind) const;

private:
    mutable std::mutex mutex_;
    std::vector<Box> boxes_;
    std::vector<std::string> statuses_;
    std::vector<std::string> products_;
    std::vector<std::string> notes_;
    std::deque<int> answers_;
    int next_answer(int fallback);
};

}  // namespace orlogix::test
