#pragma once
// The window's Reporter and EventPoster. Job threads call both; every call
// that touches a widget is passed to the GUI thread (boxes and choices wait
// for the answer there, status texts are queued).
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "access/event_loop.hpp"
#include "core/report.hpp"

class QLabel;
class QWidget;

namespace orlogix {
class Notifier;
}

namespace orlogix::ui {

class QtEventPoster : public EventPoster {
public:
    explicit QtEventPoster(QObject* context) : context_(context) {}
    void post(std::function<void()> fn) override;

private:
    QObject* context_;
};

// What a track-list choice or a save dialog answers besides its code.
struct BoxReply {
    std::vector<int> lines;  // "choose_many": the chosen lines in order
    std::string path;        // "save": the chosen path, empty when closed
    int filter = 0;          // "save": the filter it was chosen under
    bool checked = false;    // "check": the box under the notice was ticked
    std::vector<std::string> texts;   // "texts": the texts the form gives back
};

// One box or choice as the window would show it; tests answer these instead of a user.
struct BoxRequest {
    std::string kind;   // "error", "notice", "warning", "question", "yesno", "choose", "choose_many", "save",
                        // "check" (a notice with a check box), "texts" (a form over texts read)
    std::string title;
    std::string text;
    std::vector<std::string> items;  // "choose" and "choose_many": the lines; "save": the filters;
                                     // "check": the box's label; "texts": the texts read
    int default_index = -1;
    std::vector<std::string> notes;  // "choose_many": the texts above the lines
    std::shared_ptr<BoxReply> reply = std::make_shared<BoxReply>();
};

class QtReporter : public QObject, public Reporter {
    Q_OBJECT
public:
    explicit QtReporter(QWidget* window);

    void set_status_labels(QLabel* status, QLabel* product) { status_ = status; product_ = product; }
    // Boxes go to answer instead of modal message boxes (tests, scripted runs).
    void set_box_handler(std::function<int(const BoxRequest&)> answer) { handler_ = std::move(answer); }
    // The window's forms over texts read ("texts" requests; without one a form is closed).
    void set_form_handler(std::function<int(const BoxRequest&)> show) { form_ = std::move(show); }
    // A command line's notification channel: progress texts, counts and positions.
    void set_notifier(Notifier* n) { notifier_ = n; }
    // From now on job threads get the refusing answer instead of waiting.
    void stop_waiting() { closing_ = true; }

    void error_box(std::string_view title, std::string_view text) override;
    void notice_box(std::string_view title, std::string_view text) override;
    void warning_box(std::string_view title, std::string_view text) override;
    int question_box(std::string_view title, std::string_view text) override;
    int yes_no_box(std::string_view title, std::string_view text) override;
    void status(std::string_view text) override;
    void product(std::string_view text) override;
    int choose(std::string_view title, const std::vector<std::string>& items, int default_index) override;
    std::vector<int> choose_many(std::string_view title, const std::vector<std::string>& notes,
                                 const std::vector<std::string>& items, int default_index) override;
    SaveChoice ask_save_path(std::string_view title, const std::vector<std::string>& filters) override;
    bool notice_with_check(std::string_view title, std::string_view text, std::string_view check) override;
    bool edit_texts(std::string_view title, const std::vector<std::string>& read,
                    std::vector<std::string>& texts) override;
    void notify(std::string_view text) override;
    void progress_waypoints(int count) override;
    void progress_position(uint32_t time, int32_t latitude, int32_t longitude, int32_t gps_altitude_dm) override;

private:
    int box(BoxRequest request);
    void set_label(QLabel* label, std::string_view text);

    QWidget* window_;
    QLabel* status_ = nullptr;
    QLabel* product_ = nullptr;
    std::function<int(const BoxRequest&)> handler_;
    std::function<int(const BoxRequest&)> form_;
    Notifier* notifier_ = nullptr;
    std::atomic<bool> closing_{false};
};

}  // namespace orlogix::ui
