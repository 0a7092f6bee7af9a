#include "ui/ctr_dialog.hpp"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "formats/commands/ctr.hpp"
#include "formats/airspace/openair_writer.hpp"

namespace orlogix::ui {

CtrDialog::CtrDialog(Reporter& r, CtrList& list, std::optional<std::size_t> index, QWidget* parent)
    : QDialog(parent), r_(r), list_(list), index_(index) {
    setWindowTitle(index ? "Edit CTR" : "New CTR");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("&Warning distance (m)", this);
    warning = new QLineEdit(this);
    warning->setMaxLength(20);
    label->setBuddy(warning);
    text = new QPlainTextEdit(this);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setMinimumSize(520, 320);
    if (index && *index < list.size()) {
        warning->setText(QString::number(list[*index].warning_distance));
        text->setPlainText(QString::fromStdString(write_openair_single(list[*index])));
    } else {
        warning->setText(QString::number(kDefaultWarningDistance));
        text->setPlainText(QString::fromUtf8(kNewCtrTemplate));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CtrDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CtrDialog::reject);
    layout->addWidget(label);
    layout->addWidget(warning);
    layout->addWidget(text);
    layout->addWidget(buttons);
}

void CtrDialog::accept() {
    // The text box shows line ends as LF; the reader takes either.
    const std::string body = text->toPlainText().toStdString();
    if (apply_ctr_edit(r_, list_, index_, warning->text().toStdString(), body) != 0) return;
    QDialog::accept();
}

}  // namespace orlogix::ui
