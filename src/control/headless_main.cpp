#include "control/headless_main.hpp"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "access/dispatch.hpp"
#include "access/event_loop.hpp"
#include "access/job_framework.hpp"
#include "control/command_line.hpp"
#include "control/command_runner.hpp"
#include "control/headless_reporter.hpp"
#include "control/notifier.hpp"
#include "control/server/headless_server.hpp"
#include "core/current_data.hpp"
#include "core/report.hpp"
#include "formats/format_table.hpp"
#include "formats/igc/writer.hpp"
#include "protocols/families.hpp"
#include "settings/settings.hpp"

namespace orlogix {
namespace {

constexpr int kExitParse = 2;

// A family is built in when it has registered any job routine of its row.
bool family_built(const InstrumentKind& kind) { return instrument_built(kind); }

bool asks_for_help(const char* arg) {
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "/?") == 0;
}

// A single argument that names an existing file opens it, even when it is an
// absolute path (which would otherwise read as a keyword).
bool names_existing_file(const char* arg) {
    struct stat st {};
    return ::stat(arg, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int run_headless(int argc, const char* const* argv) {
    HeadlessReporter reporter;
    register_protocol_families();
    register_all_families();
    for (int i = 1; i < argc; ++i) {
        if (asks_for_help(argv[i])) {
            std::fputs(usage_text(family_built, format_list_text()).c_str(), stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Orlogix %d.%02d\n", kProgramVersionHundredths / 100, kProgramVersionHundredths % 100);
            return 0;
        }
    }
    auto refuse = [&](const std::string& text) {
        reporter.error_box(kParseTitle, text);
        std::fputs("orlogix --help lists the operations and options.\n", stderr);
        return kExitParse;
    };
    CommandLine command;
    CommandLineError error;
    if (argc < 2) return refuse("Nothing to do");
    if (argc == 2 && names_existing_file(argv[1])) {
        command.operation = CommandOperation::LogFile;
        command.file_name = argv[1];
    } else if (argv[1][0] == '-') {
        // An option of another program's style, not a file that exists.
        return refuse(std::string("Unrecognized command: ") + argv[1]);
    } else if (parse_command_line(join_arguments(argc, argv), command, error) != 0) {
        return refuse(error.text);
    }
    // Instrument and options alone do nothing: say so rather than end quietly.
    if (command.operation == CommandOperation::None) return refuse("Nothing to do");
    if (command.operation == CommandOperation::Server) return serve_headless(command, reporter);
    // No window and no terminal to answer: a question about an existing file
    // cannot be asked, which makes this a hidden run (the file is kept, the run fails).
    if (!reporter.interactive()) command.window_mode = WindowMode::Hidden;

    Settings settings;
    SettingsStore store(default_settings_paths());
    store.load(reporter, settings);  // a command line never writes the settings back

    Notifier notifier;
    if (!command.notify.empty()) notifier.open(command.notify, command.has_session, command.session);
    notifier.set_send_log_seconds(command.send_log_seconds);
    reporter.set_notifier(&notifier);

    HeadlessEventLoop loop;
    CurrentData data;
    int code = 0;
    {
        JobFramework jobs(reporter, loop, data);
        jobs.init_jobs();
        jobs.set_port_name(settings.port_name);
        CommandRunner runner(command, CommandEnvironment{reporter, jobs, data, settings, notifier});
        jobs.hooks().completion_message = [&](int message, int success) {
            if (message == 1) runner.job_finished(success == 1);
        };
        runner.start();
        loop.run_until([&] { return runner.finished(); }, std::chrono::hours(24 * 365));
        reporter.finish_progress();
        code = runner.exit_code();
        jobs.shutdown();
        // What was done, for the caller: the last status line. A check's
        // result is its output whichever way it went.
        const bool check = command.operation == CommandOperation::CheckKml;
        if ((code == 0 || check) && !reporter.last_status().empty())
            std::printf("%s\n", reporter.last_status().c_str());
    }
    return code;
}

}  // namespace orlogix
