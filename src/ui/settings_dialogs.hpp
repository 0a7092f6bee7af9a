#pragma once
// The small dialogs of the Misc menu: the port, the track gap time, the
// vario filter and the loop flight gap. Each keeps its value only on a good OK.
#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;

namespace orlogix {
class Reporter;
}

namespace orlogix::ui {

class PortDialog : public QDialog {
    Q_OBJECT
public:
    // ports: the listed devices; current: the configured port name.
    PortDialog(Reporter& r, const std::vector<std::string>& ports, const std::string& current, QWidget* parent = nullptr);
    const std::string& port_name() const { return port_; }
    void accept() override;

    QComboBox* list;
    QLineEdit* user;

private:
    Reporter& r_;
    std::string port_;
};

// One text field; check turns its text into the value or refuses it (then the dialog stays open).
class NumberDialog : public QDialog {
    Q_OBJECT
public:
    using Check = std::function<bool(const std::string& text, long long& value)>;
    NumberDialog(const char* title, const std::vector<const char*>& texts, const std::string& initial,
                 int max_length, Check check, QWidget* parent = nullptr);
    long long value() const { return value_; }
    void accept() override;

    QLineEdit* field;

private:
    Check check_;
    long long value_ = 0;
};

// Plain unsigned decimal digits (blanks around them allowed); false for anything else.
bool parse_unsigned(const std::string& text, long long& value);

NumberDialog* make_gap_time_dialog(long long seconds, QWidget* parent);
NumberDialog* make_vario_dialog(Reporter& r, long long threshold, QWidget* parent);
NumberDialog* make_loop_gap_dialog(Reporter& r, long long metres, QWidget* parent);

}  // namespace orlogix::ui
