// orlogix: the program's entry point. Without a command line, or with /WIN=1
// or /WIN=2, the main window opens; every other command line runs headless.
// The window lives in its own program, orlogix-window beside this one, which
// takes over the process: a headless run thus never loads the toolkit, whose
// libraries alone cost more start-up than a short conversion.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "control/headless_main.hpp"
#ifdef ORLOGIX_WITH_GUI
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>

#include "control/command_line.hpp"
#endif

namespace {

// Said in place of a window that cannot open.
int without_window(const char* why) {
    std::fprintf(stderr, "%s\nA command line with /WIN=0 runs without a window; orlogix --help lists the operations.\n",
                 why);
    return 1;
}

#ifdef ORLOGIX_WITH_GUI
// The window is asked for explicitly: a command line without /WIN stays headless,
// and so does one that asks for the usage or the version.
bool window_requested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' || std::strcmp(argv[i], "/?") == 0) return false;
    for (int i = 1; i < argc; ++i)
        if (strncasecmp(argv[i], "/WIN=", 5) == 0) return argv[i][5] == '1' || argv[i][5] == '2';
    return false;
}

bool env_set(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// Whether the window can open at all; asked before the toolkit starts, which
// would otherwise abort the program.
bool display_available() {
    std::string_view platform = env_set("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "";
    platform = platform.substr(0, platform.find_first_of(";:"));  // "wayland;xcb", "vnc:size=..."
    if (platform.empty()) return env_set("DISPLAY") || env_set("WAYLAND_DISPLAY");
    if (platform == "xcb") return env_set("DISPLAY");
    if (platform.substr(0, 7) == "wayland") return env_set("WAYLAND_DISPLAY");
    return true;  // offscreen, minimal, vnc, eglfs, linuxfb: no display server needed
}

constexpr const char* kNoDisplay = "No display found: the window cannot open (DISPLAY and WAYLAND_DISPLAY are not set).";

// The window program in the folder of this executable (found through
// /proc/self/exe, so the way orlogix was started does not matter).
std::string window_program() {
    std::string self(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", self.data(), self.size());
    self.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + "/orlogix-window";
}

// Replaces this process with the window program, same arguments; returns only on failure.
int open_window(char** argv) {
    if (!display_available()) return without_window(kNoDisplay);
    const std::string program = window_program();
    ::execv(program.c_str(), argv);
    const std::string why = "The window cannot open: " + program + " could not be started (" +
                            std::strerror(errno) + ").";
    return without_window(why.c_str());
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef ORLOGIX_WITH_GUI
    if (argc < 2) return open_window(argv);
    if (window_requested(argc, argv)) {
        orlogix::CommandLine command;
        orlogix::CommandLineError error;
        // A command line that does not parse is reported the headless way.
        if (orlogix::parse_command_line(orlogix::join_arguments(argc, argv), command, error) == 0)
            return open_window(argv);
    }
#else
    if (argc < 2) return without_window("No window: this orlogix was built without one.");
#endif
    return orlogix::run_headless(argc, argv);
}
