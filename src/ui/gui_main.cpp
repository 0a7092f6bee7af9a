#include "ui/gui_main.hpp"

#include <QApplication>

#include "access/dispatch.hpp"
#include "protocols/families.hpp"
#include "ui/main_window.hpp"

namespace orlogix::ui {

int run_gui(int argc, char** argv, std::optional<CommandLine> command) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Orlogix");
    register_protocol_families();
    register_all_families();
    MainWindowOptions options;
    WindowMode mode = command ? command->window_mode : WindowMode::Normal;
    options.command = std::move(command);
    MainWindow window(std::move(options));
    if (mode == WindowMode::Minimised) window.showMinimized();
    else window.show();
    if (!window.closing()) app.exec();
    return window.exit_code();
}

}  // namespace orlogix::ui
