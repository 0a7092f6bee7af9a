#include "ui/server_dialog.hpp"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>

#include "core/report.hpp"

namespace orlogix::ui {

ServerDialog::ServerDialog(Reporter& r, ServerOptions options, QWidget* parent) : QDialog(parent), r_(r) {
    setWindowTitle("Server");
    auto* g = new QGridLayout(this);
    auto* port_label = new QLabel("Listen port", this);
    port = new QLineEdit(QString::number(kDefaultServerPort), this);
    port->setMaxLength(5);
    port_label->setBuddy(port);
    g->addWidget(port_label, 0, 0);
    g->addWidget(port, 0, 1);
    g->addWidget(new QLabel("Use 0 to let the system choose", this), 0, 2);
    start_button = new QPushButton("Start", this);
    close_button = new QPushButton("Close", this);
    g->addWidget(start_button, 0, 3);
    g->addWidget(close_button, 1, 3);
    status = new QLabel("Status", this);
    g->addWidget(status, 1, 0, 1, 3);
    for (int i = 0; i < kServerSlots; ++i) {
        g->addWidget(new QLabel(QString::number(i), this), 2 + i, 0);
        rows[i] = {new QLabel(this), new QLabel(this), new QLabel(this)};
        g->addWidget(rows[i].address, 2 + i, 1);
        g->addWidget(rows[i].port, 2 + i, 2);
        g->addWidget(rows[i].status, 2 + i, 3);
    }
    connect(start_button, &QPushButton::clicked, this, &ServerDialog::start);
    connect(close_button, &QPushButton::clicked, this, &ServerDialog::reject);

    // The server thread hands a copy over; the dialog shows it on its own thread.
    QPointer<ServerDialog> self(this);
    options.snapshot = [self](const ServerSnapshot& s) {
        if (!self) return;
        QMetaObject::invokeMethod(
            self, [self, s] {
                if (self) self->show_snapshot(s);
            },
            Qt::QueuedConnection);
    };
    server_ = std::make_unique<CommandServer>(std::move(options));
}

ServerDialog::~ServerDialog() { server_->close(); }

void ServerDialog::start() {
    std::string error;
    if (server_->start({}, port->text().trimmed().toStdString(), error) < 0) {
        r_.error_box(kStartServerTitle, error);
        return;
    }
    status->setText(QString("Listening on port %1").arg(server_->port()));
}

void ServerDialog::reject() {
    if (r_.question_box("Close server", "This will close any active connections") != kBoxOk) return;
    server_->close();
    QDialog::reject();
}

void ServerDialog::show_snapshot(const ServerSnapshot& s) {
    status->setText(QString::fromStdString(s.status));
    for (int i = 0; i < kServerSlots; ++i) {
        const ServerRow& row = s.rows[i];
        rows[i].address->setText(row.used ? QString::fromStdString(row.address) : QString());
        rows[i].port->setText(row.used ? QString::number(row.port) : QString());
        rows[i].status->setText(row.used ? QString::fromStdString(row.status) : QString());
    }
}

void run_server_dialog(Reporter& r, QWidget* parent) {
    ServerDialog dialog(r, {}, parent);
    dialog.exec();
}

}  // namespace orlogix::ui
