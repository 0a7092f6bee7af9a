#pragma once
// "Split Log": the parts of a track log cut at time gaps, latest first; the
// user keeps one or more of them.
#include <QDialog>

#include <string>
#include <vector>

class QListWidget;

namespace orlogix::ui {

class SplitLogDialog : public QDialog {
    Q_OBJECT
public:
    SplitLogDialog(const std::string& title, const std::vector<std::string>& lines, QWidget* parent = nullptr);

    std::vector<std::string> lines() const;
    void select_line(int line, bool on = true);
    std::vector<bool> chosen() const;
    // OK with nothing selected leaves the dialog open.
    void accept() override;

private:
    QListWidget* list_;
};

}  // namespace orlogix::ui
