#include "control/headless_reporter.hpp"

#include <unistd.h>

#include <cctype>
#include <cstring>

#include "control/notifier.hpp"

namespace orlogix {

HeadlessReporter::HeadlessReporter(std::FILE* err, std::FILE* in) : err_(err), in_(in) {
    interactive_ = in_ != nullptr && ::isatty(::fileno(in_)) == 1;
    progress_line_ = ::isatty(::fileno(err_)) == 1;
}

void HeadlessReporter::finish_progress() {
    if (progress_open_) {
        std::fputc('\n', err_);
        progress_open_ = false;
    }
}

void HeadlessReporter::line(std::string_view title, std::string_view text) {
    std::lock_guard lock(mutex_);
    finish_progress();
    std::fprintf(err_, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(), static_cast<int>(text.size()),
                 text.data());
    std::fflush(err_);
}

void HeadlessReporter::error_box(std::string_view title, std::string_view text) { line(title, text); }
void HeadlessReporter::notice_box(std::string_view title, std::string_view text) { line(title, text); }
void HeadlessReporter::warning_box(std::string_view title, std::string_view text) { line(title, text); }

std::string HeadlessReporter::ask(std::string_view prompt) {
    std::lock_guard lock(mutex_);
    finish_progress();
    std::fprintf(err_, "%.*s", static_cast<int>(prompt.size()), prompt.data());
    std::fflush(err_);
    char buf[256];
    if (!std::fgets(buf, sizeof buf, in_)) return "";
    std::string answer(buf);
    while (!answer.empty() && std::isspace(static_cast<unsigned char>(answer.back()))) answer.pop_back();
    return answer;
}

int HeadlessReporter::question_box(std::string_view title, std::string_view text) {
    if (!interactive_) {
        line(title, std::string(text) + " (Cancel)");
        return kBoxCancel;
    }
    std::string a = ask(std::string(title) + ": " + std::string(text) + " [o]k/[c]ancel: ");
    return !a.empty() && (a[0] == 'o' || a[0] == 'O' || a[0] == 'y' || a[0] == 'Y') ? kBoxOk : kBoxCancel;
}

int HeadlessReporter::yes_no_box(std::string_view title, std::string_view text) {
    if (!interactive_) {
        line(title, std::string(text) + " (No)");
        return kBoxNo;
    }
    std::string a = ask(std::string(title) + ": " + std::string(text) + " [y]es/[n]o: ");
    return !a.empty() && (a[0] == 'y' || a[0] == 'Y') ? kBoxYes : kBoxNo;
}

void HeadlessReporter::status(std::string_view text) {
    {
        std::lock_guard lock(mutex_);
        last_status_ = std::string(text);
        if (progress_line_) {
            std::fprintf(err_, "\r%.*s\033[K", static_cast<int>(text.size()), text.data());
            std::fflush(err_);
            progress_open_ = true;
        }
    }
}

void HeadlessReporter::notify(std::string_view text) {
    if (notifier_) notifier_->send(text);
}

void HeadlessReporter::product(std::string_view text) { line("Instrument", text); }

int HeadlessReporter::choose(std::string_view title, const std::vector<std::string>& items, int default_index) {
    if (!interactive_ || items.empty()) return default_index;
    std::string prompt = std::string(title) + ":\n";
    for (std::size_t i = 0; i < items.size(); ++i) prompt += "  " + std::to_string(i + 1) + ". " + items[i] + "\n";
    prompt += "Choose 1-" + std::to_string(items.size()) + " (empty: " + std::to_string(default_index + 1) +
              ", 0: cancel): ";
    std::string a = ask(prompt);
    if (a.empty()) return default_index;
    char* end = nullptr;
    long n = std::strtol(a.c_str(), &end, 10);
    if (*end != '\0' || n < 0 || n > static_cast<long>(items.size())) return default_index;
    return static_cast<int>(n) - 1;
}

void HeadlessReporter::progress_waypoints(int count) {
    if (notifier_) notifier_->waypoint_count(count);
}

void HeadlessReporter::progress_position(uint32_t time, int32_t latitude, int32_t longitude,
                                         int32_t gps_altitude_dm) {
    if (notifier_) notifier_->position(time, latitude, longitude, gps_altitude_dm);
}

}  // namespace orlogix
