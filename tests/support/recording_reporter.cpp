#include "support/recording_reporter.hpp"

namespace orlogix::test {

void RecordingReporter::error_box(std::string_view title, std::string_view text) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({"error", std::string(title), std::string(text)});
}

bool RecordingReporter::notice_with_check(std::string_view title, std::string_view text, std::string_view) {
    notice_box(title, text);
    return tick_checks;
}

void RecordingReporter::notice_box(std::string_view title, std::string_view text) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({"notice", std::string(title), std::string(text)});
}

void RecordingReporter::warning_box(std::string_view title, std::string_view text) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({"warning", std::string(title), std::string(text)});
}

int RecordingReporter::next_answer(int fallback) {
    if (answers_.empty()) return fallback;
    int a = answers_.front();
    answers_.pop_front();
    return a;
}

int RecordingReporter::question_box(std::string_view title, std::string_view text) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({"question", std::string(title), std::string(text)});
    return next_answer(kBoxCancel);
}

int RecordingReporter::yes_no_box(std::string_view title, std::string_view text) {
    std::lock_guard lock(mutex_);
    boxes_.push_back({"yesno", std::string(title), std::string(text)});
    return next_answer(kBoxNo);
}

void RecordingReporter::status(std::string_view text) {
    std::lock_guard lock(mutex_);
    statuses_.emplace_back(text);
}

void RecordingReporter::product(std::string_view text) {
    std::lock_guard lock(mutex_);
    products_.emplace_back(text);
}

int RecordingReporter::choose(std::string_view title, const std::vector<std::string>& items, int default_index) {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& i : items) all += i + "\n";
    boxes_.push_back({"choose", std::string(title), all});
    return next_answer(default_index);
}

std::vector<int> RecordingReporter::choose_many(std::string_view title, const std::vector<std::string>& notes,
                                                const std::vector<std::string>& items, int newest) {
    choice_title = title;
    choice_notes = notes;
    choice_lines = items;
    return choice ? *choice : Reporter::choose_many(title, notes, items, newest);
}

Reporter::SaveChoice RecordingReporter::ask_save_path(std::string_view title, const std::vector<std::string>& filters) {
    save_title = title;
    save_filters = filters;
    return save_choice;
}

void RecordingReporter::notify(std::string_view text) {
    std::lock_guard lock(mutex_);
    notes_.emplace_back(text);
}

void RecordingReporter::queue_answer(int answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<Box> RecordingReporter::boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

std::vector<std::string> RecordingReporter::statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
}

std::vector<std::string> RecordingReporter::products() const {
    std::lock_guard lock(mutex_);
    return products_;
}

std::vector<std::string> RecordingReporter::notes() const {
    std::lock_guard lock(mutex_);
    return notes_;
}

bool RecordingReporter::has_status(std::string_view text) const {
    std::lock_guard lock(mutex_);
    for (const auto& s : statuses_)
        if (s == text) return true;
    return false;
}

bool RecordingReporter::has_status_prefix(std::string_view prefix) const {
    std::lock_guard lock(mutex_);
    for (const auto& s : statuses_)
        if (s.rfind(prefix, 0) == 0) return true;
    return false;
}

Box RecordingReporter::last_error() const {
    std::lock_guard lock(mutex_);
    for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it)
        if (it->kind == "error") return *it;
    return {};
}

int RecordingReporter::count(const std::string& kind) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& b : boxes_) n += b.kind == kind;
    return n;
}

}  // namespace orlogix::test
