#include "control/server/headless_server.hpp"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "control/command_line.hpp"
#include "control/server/command_server.hpp"
#include "core/report.hpp"

namespace orlogix {

int serve_headless(const CommandLine& command, Reporter& reporter) {
    // The signals are taken by sigwait below: blocked before any thread
    // starts, so that no server or job thread is ended by them.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    // A client gone while we write never ends the program.
    ::signal(SIGPIPE, SIG_IGN);

    CommandServer server;
    std::string error;
    if (server.start(command.server_address, command.server_port, error) < 0) {
        reporter.error_box(kStartServerTitle, error);
        return 1;
    }
    std::printf("Listening on port %d\n", server.port());
    std::fflush(stdout);
    int received = 0;
    while (sigwait(&stop, &received) != 0) {
    }
    server.close();
    return 0;
}

}  // namespace orlogix
