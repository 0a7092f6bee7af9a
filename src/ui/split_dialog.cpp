#include "ui/split_dialog.hpp"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace orlogix::ui {

SplitLogDialog::SplitLogDialog(const std::string& title, const std::vector<std::string>& lines, QWidget* parent)
    : QDialog(parent), list_(new QListWidget(this)) {
    setObjectName("Split Log");
    setWindowTitle(QString::fromStdString(title));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Select the part(s) to save.", this));
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    list_->setFont(mono);
    for (const std::string& line : lines) list_->addItem(QString::fromStdString(line));
    layout->addWidget(list_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SplitLogDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SplitLogDialog::reject);
    layout->addWidget(buttons);
}

std::vector<std::string> SplitLogDialog::lines() const {
    std::vector<std::string> out;
    for (int i = 0; i < list_->count(); ++i) out.push_back(list_->item(i)->text().toStdString());
    return out;
}

void SplitLogDialog::select_line(int line, bool on) {
    if (line >= 0 && line < list_->count()) list_->item(line)->setSelected(on);
}

std::vector<bool> SplitLogDialog::chosen() const {
    std::vector<bool> out;
    for (int i = 0; i < list_->count(); ++i) out.push_back(list_->item(i)->isSelected());
    return out;
}

void SplitLogDialog::accept() {
    for (bool c : chosen())
        if (c) {
            QDialog::accept();
            return;
        }
}

}  // namespace orlogix::ui
