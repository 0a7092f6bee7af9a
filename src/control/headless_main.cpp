#include "control/headless_main.hpp"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "access/dispatch.hpp"
#include "access/event_loop.hpp"
#include "access/job_framework.hpp"
#include "control/command_line.hpp"
#include "control/command_runner.hpp"
#include "control/headless_reporter.hpp"
#include "control/notifier.hpp"
#include "core/current_data.hpp"
#include "protocols/families.hpp"
#include "settings/settings.hpp"

namespace orlogix {
namespace {

constexpr const char* kUsage =
    "Usage: orlogix /GPS=<instrument> [/COM=<n or device>] /<OPERATION>=<file> [options] [/EXIT]\n"
    "       orlogix <track file>\n"
    "Example: orlogix /GPS=GARMIN /COM=/dev/ttyUSB0 /IGC_LOG=flights/ /WIN=0 /EXIT\n";

// A single argument that names an existing file opens it, even when it is an
// absolute path (which would otherwise read as a keyword).
bool names_existing_file(const char* arg) {
    struct stat st {};
    return ::stat(arg, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int run_headless(int argc, const char* const* argv) {
    HeadlessReporter reporter;
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    CommandLine command;
    CommandLineError error;
    if (argc == 2 && names_existing_file(argv[1])) {
        command.operation = CommandOperation::LogFile;
        command.file_name = argv[1];
    } else if (parse_command_line(join_arguments(argc, argv), command, error) != 0) {
        reporter.error_box(kParseTitle, error.text);
        return 2;
    }

    Settings settings;
    SettingsStore store(default_settings_paths());
    store.load(reporter, settings);  // a command line never writes the settings back

    Notifier notifier;
    if (!command.notify.empty()) notifier.open(command.notify, command.has_session, command.session);
    notifier.set_send_log_seconds(command.send_log_seconds);
    reporter.set_notifier(&notifier);

    register_protocol_families();
    register_all_families();

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
        // What was done, for the caller: the last status line.
        if (code == 0 && !reporter.last_status().empty()) std::printf("%s\n", reporter.last_status().c_str());
    }
    return code;
}

}  // namespace orlogix
