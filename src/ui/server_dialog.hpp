#pragma once
// "Server": starts and closes the TCP command server and shows its ten
// session rows. The rows come from the snapshots the server thread posts
// here, never from the server's own data.
#include <QDialog>

#include <array>
#include <memory>

#include "control/server/command_server.hpp"

class QLabel;
class QLineEdit;
class QPushButton;

namespace orlogix {
class Reporter;
}

namespace orlogix::ui {

class ServerDialog : public QDialog {
    Q_OBJECT
public:
    ServerDialog(Reporter& r, ServerOptions options = {}, QWidget* parent = nullptr);
    ~ServerDialog() override;

    // "Start": the port field checked, the server started; errors titled "Start server".
    void start();
    // "Close" and closing the dialog: asks "This will close any active
    // connections" first; Ok closes the server, then the dialog.
    void reject() override;

    QLineEdit* port;
    QPushButton* start_button;
    QPushButton* close_button;
    QLabel* status;
    struct Row {
        QLabel* address;
        QLabel* port;
        QLabel* status;
    };
    std::array<Row, kServerSlots> rows{};

    CommandServer& server() { return *server_; }

private:
    void show_snapshot(const ServerSnapshot& s);

    Reporter& r_;
    std::unique_ptr<CommandServer> server_;
};

// Misc "&Server": the dialog, until it is closed (closing it closes the server).
void run_server_dialog(Reporter& r, QWidget* parent);

}  // namespace orlogix::ui
