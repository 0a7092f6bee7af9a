#include "support/command_run.hpp"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>

#include "support/subprocess.hpp"

namespace orlogix::test {

CommandRun run_against_sim(const std::vector<std::string>& sim_args, const std::vector<std::string>& args) {
    using namespace std::chrono_literals;
    CommandRun run;
    Subprocess sim;
    if (sim.start(built_program("ORLOGIX_SIM_BIN", "orlogix-sim"), sim_args) != 0) {
        ADD_FAILURE() << "orlogix-sim did not start";
        return run;
    }
    std::string device;
    if (!sim.read_line(device, 10s)) {
        ADD_FAILURE() << "orlogix-sim named no device: " << sim.error_output();
        return run;
    }
    std::vector<std::string> all = args;
    all.insert(all.end(), {"/COM=" + device, "/WIN=0", "/EXIT", "/OVERWRITE"});
    Subprocess program;
    if (program.start(built_program("ORLOGIX_BIN", "orlogix"), all) != 0) {
        ADD_FAILURE() << "orlogix did not start";
        return run;
    }
    for (std::string line; program.read_line(line, 60s);) run.output += line + "\n";
    run.exit_code = program.wait(60s);
    run.errors = program.error_output();
    sim.send_signal(SIGTERM);
    for (std::string line; sim.read_line(line, 2s);) run.reported += line + "\n";
    if (sim.wait(10s) != 0) ADD_FAILURE() << "orlogix-sim did not end cleanly: " << sim.error_output();
    return run;
}

}  // namespace orlogix::test
