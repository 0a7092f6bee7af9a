#include "ui/settings_dialogs.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "access/user_port.hpp"
#include "core/names.hpp"
#include "core/report.hpp"

namespace orlogix::ui {

namespace {
constexpr const char* kPortTitle = "Select COM port";

QDialogButtonBox* ok_cancel(QDialog* d) {
    auto* b = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
    b->button(QDialogButtonBox::Cancel)->setText("&Cancel");
    QObject::connect(b, &QDialogButtonBox::accepted, d, &QDialog::accept);
    QObject::connect(b, &QDialogButtonBox::rejected, d, &QDialog::reject);
    return b;
}
}  // namespace

PortDialog::PortDialog(Reporter& r, const std::vector<std::string>& ports, const std::string& current, QWidget* parent)
    : QDialog(parent), r_(r) {
    setWindowTitle("Set COM port");
    auto* layout = new QVBoxLayout(this);
    list = new QComboBox(this);
    user = new QLineEdit(this);
    auto* l1 = new QLabel("Select from &Registry", this);
    l1->setBuddy(list);
    auto* l2 = new QLabel("&User select", this);
    l2->setBuddy(user);
    std::vector<std::string> entries = ports;
    if (entries.empty()) {
        r_.error_box(kPortTitle, "Error reading the registry, only COM1 is possible.");
        entries.push_back("COM1");
    }
    int selected = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        list->addItem(QString::fromStdString(entries[i]));
        if (entries[i] == current) selected = static_cast<int>(i);
    }
    list->setCurrentIndex(selected);
    layout->addWidget(l1);
    layout->addWidget(list);
    layout->addWidget(l2);
    layout->addWidget(user);
    layout->addWidget(ok_cancel(this));
}

void PortDialog::accept() {
    std::string name;
    const int rc = check_user_port(r_, user->text().toStdString(), name);
    if (rc < 0) return;  // reported; the dialog stays open
    if (rc == 0) {
        if (list->currentIndex() < 0) {
            r_.error_box(kPortTitle, "Dialog box error");
            return;
        }
        name = list->currentText().toStdString();
    }
    port_ = name;
    QDialog::accept();
}

bool parse_unsigned(const std::string& text, long long& value) {
    std::string t = read_field_text(text, 64);
    if (t.empty() || t.size() > 12) return false;
    long long v = 0;
    for (char c : t) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

NumberDialog::NumberDialog(const char* title, const std::vector<const char*>& texts, const std::string& initial,
                           int max_length, Check check, QWidget* parent)
    : QDialog(parent), check_(std::move(check)) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    field = new QLineEdit(QString::fromStdString(initial), this);
    field->setMaxLength(max_length);
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
        auto* l = new QLabel(texts[i], this);
        l->setWordWrap(true);
        layout->addWidget(l);
    }
    layout->addWidget(field);
    if (!texts.empty()) layout->addWidget(new QLabel(texts.back(), this));
    layout->addWidget(ok_cancel(this));
}

void NumberDialog::accept() {
    long long v = 0;
    if (!check_(field->text().toStdString(), v)) return;
    value_ = v;
    QDialog::accept();
}

NumberDialog* make_gap_time_dialog(long long seconds, QWidget* parent) {
    // Bad input keeps the dialog open without a message.
    return new NumberDialog("Set Track Gap Time", {"Minutes"}, std::to_string(seconds / 60), 19,
                            [](const std::string& t, long long& v) {
                                long long minutes = 0;
                                if (!parse_unsigned(t, minutes)) return false;
                                v = minutes * 60;
                                return true;
                            },
                            parent);
}

NumberDialog* make_vario_dialog(Reporter& r, long long threshold, QWidget* parent) {
    return new NumberDialog(
        "Vario filter",
        {"If non-zero Orlogix will check the  ascend/descend rate between consecutive points. If greater than the "
         "set value the point(s) are removed.",
         "m/s (clear or set 0 to disable feature)"},
        threshold ? std::to_string(threshold) : std::string(), 39,
        [&r](const std::string& t, long long& v) {
            if (read_field_text(t, 39).empty()) {
                v = 0;
                return true;
            }
            if (parse_unsigned(t, v)) return true;
            r.error_box("Set vario filter", "Bad input");
            return false;
        },
        parent);
}

NumberDialog* make_loop_gap_dialog(Reporter& r, long long metres, QWidget* parent) {
    return new NumberDialog("Loop flight gap distance", {"Metres"}, std::to_string(metres), 19,
                            [&r](const std::string& t, long long& v) {
                                if (read_field_text(t, 19).empty()) {
                                    r.error_box("Set gap distance", "Missing input");
                                    return false;
                                }
                                if (parse_unsigned(t, v)) return true;
                                r.error_box("Set gap distance", "Bad input");
                                return false;
                            },
                            parent);
}

}  // namespace orlogix::ui
