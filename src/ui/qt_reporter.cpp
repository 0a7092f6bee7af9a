#include "ui/qt_reporter.hpp"

#include "control/notifier.hpp"

#include <QCoreApplication>
#include <QDialog>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace orlogix::ui {

void QtEventPoster::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(context_, std::move(fn), Qt::QueuedConnection);
}

QtReporter::QtReporter(QWidget* window) : window_(window) {}

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The "Track List" dialog: the notes, the lines with the first selected,
// OK for the selected lines and &All for every line; closing chooses none.
int show_track_list(QWidget* parent, const BoxRequest& b) {
    QDialog d(parent);
    d.setWindowTitle(q(b.title));
    auto* layout = new QVBoxLayout(&d);
    for (const std::string& note : b.notes) layout->addWidget(new QLabel(q(note), &d));
    auto* list = new QListWidget(&d);
    list->setObjectName("trackList");
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const std::string& item : b.items) list->addItem(q(item));
    if (list->count() > 0) list->setCurrentRow(0);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&d);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    QPushButton* all = buttons->addButton(QObject::tr("&All"), QDialogButtonBox::ActionRole);
    bool every = false;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
    QObject::connect(all, &QPushButton::clicked, &d, [&d, &every] {
        every = true;
        d.accept();
    });
    layout->addWidget(buttons);
    if (d.exec() != QDialog::Accepted) return kBoxCancel;
    for (int i = 0; i < list->count(); ++i)
        if (every || list->item(i)->isSelected()) b.reply->lines.push_back(i);
    return kBoxOk;
}

int show_save_dialog(QWidget* parent, const BoxRequest& b) {
    QStringList filters;
    for (const std::string& f : b.items) filters << q(f);
    QString chosen_filter;
    const QString path =
        QFileDialog::getSaveFileName(parent, q(b.title), QString(), filters.join(";;"), &chosen_filter);
    if (path.isEmpty()) return kBoxCancel;
    b.reply->path = path.toStdString();
    b.reply->filter = std::max(0, static_cast<int>(filters.indexOf(chosen_filter)));
    return kBoxOk;
}

int show_check_notice(QWidget* parent, const BoxRequest& b) {
    QMessageBox m(QMessageBox::Information, q(b.title), q(b.text), QMessageBox::Ok, parent);
    auto* check = new QCheckBox(b.items.empty() ? QString() : q(b.items.front()), &m);
    m.setCheckBox(check);
    m.exec();
    b.reply->checked = check->isChecked();
    return kBoxOk;
}

BoxRequest make_request(const char* kind, std::string_view title, std::string_view text,
                        const std::vector<std::string>& items = {}, int default_index = -1) {
    BoxRequest r;
    r.kind = kind;
    r.title = title;
    r.text = text;
    r.items = items;
    r.default_index = default_index;
    return r;
}

int show_box(QWidget* parent, const BoxRequest& b) {
    if (b.kind == "choose_many") return show_track_list(parent, b);
    if (b.kind == "save") return show_save_dialog(parent, b);
    if (b.kind == "check") return show_check_notice(parent, b);
    if (b.kind == "choose") {
        QDialog d(parent);
        d.setWindowTitle(q(b.title));
        auto* layout = new QVBoxLayout(&d);
        auto* list = new QListWidget(&d);
        for (const std::string& item : b.items) list->addItem(q(item));
        if (b.default_index >= 0) list->setCurrentRow(b.default_index);
        layout->addWidget(list);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &d);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &d, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
        layout->addWidget(buttons);
        if (d.exec() != QDialog::Accepted) return -1;
        return list->currentRow();
    }
    if (b.kind == "question")
        return QMessageBox::question(parent, q(b.title), q(b.text), QMessageBox::Ok | QMessageBox::Cancel) ==
                       QMessageBox::Ok
                   ? kBoxOk
                   : kBoxCancel;
    if (b.kind == "yesno")
        return QMessageBox::question(parent, q(b.title), q(b.text), QMessageBox::Yes | QMessageBox::No) ==
                       QMessageBox::Yes
                   ? kBoxYes
                   : kBoxNo;
    if (b.kind == "error") QMessageBox::critical(parent, q(b.title), q(b.text));
    else if (b.kind == "warning") QMessageBox::warning(parent, q(b.title), q(b.text));
    else QMessageBox::information(parent, q(b.title), q(b.text));
    return kBoxOk;
}

}  // namespace

int QtReporter::box(BoxRequest request) {
    int refusal = request.kind == "question" || request.kind == "choose_many" || request.kind == "save" ||
                          request.kind == "texts"
                      ? kBoxCancel
                  : request.kind == "yesno"                                                            ? kBoxNo
                                                                                                       : kBoxOk;
    if (request.kind == "choose") refusal = request.default_index;
    auto answer = [this](const BoxRequest& r) {
        if (r.kind == "texts") return form_ ? form_(r) : kBoxCancel;
        return handler_ ? handler_(r) : show_box(window_, r);
    };
    if (QThread::currentThread() == thread()) return answer(request);
    // A job thread waits for the answer, but never past the window's closing:
    // shutdown joins the job and must not wait for a box nobody will answer.
    struct Pending {
        std::mutex mutex;
        std::condition_variable done_cv;
        bool done = false;
        int answer = 0;
    };
    auto pending = std::make_shared<Pending>();
    QMetaObject::invokeMethod(
        this,
        [answer, pending, request] {
            int a = answer(request);
            std::lock_guard<std::mutex> lock(pending->mutex);
            pending->answer = a;
            pending->done = true;
            pending->done_cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(pending->mutex);
    while (!pending->done) {
        if (closing_.load()) return refusal;
        pending->done_cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    return pending->answer;
}

void QtReporter::error_box(std::string_view title, std::string_view text) {
    box(make_request("error", title, text));
}
void QtReporter::notice_box(std::string_view title, std::string_view text) {
    box(make_request("notice", title, text));
}
void QtReporter::warning_box(std::string_view title, std::string_view text) {
    box(make_request("warning", title, text));
}
int QtReporter::question_box(std::string_view title, std::string_view text) {
    return box(make_request("question", title, text));
}
int QtReporter::yes_no_box(std::string_view title, std::string_view text) {
    return box(make_request("yesno", title, text));
}
int QtReporter::choose(std::string_view title, const std::vector<std::string>& items, int default_index) {
    return box(make_request("choose", title, {}, items, default_index));
}

std::vector<int> QtReporter::choose_many(std::string_view title, const std::vector<std::string>& notes,
                                         const std::vector<std::string>& items, int default_index) {
    BoxRequest request = make_request("choose_many", title, {}, items, default_index);
    request.notes = notes;
    if (box(request) != kBoxOk) return {};
    return request.reply->lines;
}

Reporter::SaveChoice QtReporter::ask_save_path(std::string_view title, const std::vector<std::string>& filters) {
    BoxRequest request = make_request("save", title, {}, filters);
    if (box(request) != kBoxOk) return {};
    return {request.reply->path, request.reply->filter};
}

bool QtReporter::notice_with_check(std::string_view title, std::string_view text, std::string_view check) {
    BoxRequest request = make_request("check", title, text, {std::string(check)});
    box(request);
    return request.reply->checked;
}

bool QtReporter::edit_texts(std::string_view title, const std::vector<std::string>& read,
                            std::vector<std::string>& texts) {
    BoxRequest request = make_request("texts", title, {}, read);
    if (box(request) != kBoxOk) return false;
    texts = request.reply->texts;
    return true;
}

void QtReporter::set_label(QLabel* label, std::string_view text) {
    if (!label) return;
    QPointer<QLabel> guard(label);
    QString t = q(text);
    if (QThread::currentThread() == thread()) {
        label->setText(t);
        return;
    }
    QMetaObject::invokeMethod(this, [guard, t] { if (guard) guard->setText(t); }, Qt::QueuedConnection);
}

void QtReporter::status(std::string_view text) { set_label(status_, text); }

void QtReporter::product(std::string_view text) { set_label(product_, text); }

// The notifier only sends datagrams; the job thread may call it directly.
void QtReporter::notify(std::string_view text) {
    if (notifier_) notifier_->send(text);
}

void QtReporter::progress_waypoints(int count) {
    if (notifier_) notifier_->waypoint_count(count);
}

void QtReporter::progress_position(uint32_t time, int32_t latitude, int32_t longitude, int32_t gps_altitude_dm) {
    if (notifier_) notifier_->position(time, latitude, longitude, gps_altitude_dm);
}

}  // namespace orlogix::ui
