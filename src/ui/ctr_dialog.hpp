#pragma once
// "Edit CTR" and "New CTR": one airspace as OpenAir text with its warning
// distance. OK keeps the dialog open until the text and distance are good.
#include <QDialog>

#include <cstddef>
#include <optional>

#include "core/ctr_records.hpp"

class QLineEdit;
class QPlainTextEdit;

namespace orlogix {
class Reporter;
}

namespace orlogix::ui {

class CtrDialog : public QDialog {
    Q_OBJECT
public:
    // index: the CTR being edited (its text is shown), or nullopt for a new one.
    CtrDialog(Reporter& r, CtrList& list, std::optional<std::size_t> index, QWidget* parent = nullptr);
    void accept() override;

    QLineEdit* warning;
    QPlainTextEdit* text;

private:
    Reporter& r_;
    CtrList& list_;
    std::optional<std::size_t> index_;
};

}  // namespace orlogix::ui
