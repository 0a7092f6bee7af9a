#pragma once
// One command-line run of orlogix against orlogix-sim on a pseudo-terminal,
// as a user would start them: the simulator first (it prints its device),
// then the program with /COM= that device, /WIN=0 /EXIT /OVERWRITE.
#include <string>
#include <vector>

namespace orlogix::test {

struct CommandRun {
    int exit_code = -1;       // the program's; -1 when something did not start
    std::string output;       // the program's standard output
    std::string errors;       // the program's standard error
    std::string reported;     // what the simulator printed after its device line
};

// sim_args go to orlogix-sim (--family ...), args to orlogix before the
// added /COM=, /WIN=0, /EXIT and /OVERWRITE. The simulator is stopped with
// SIGTERM once the program has ended.
CommandRun run_against_sim(const std::vector<std::string>& sim_args, const std::vector<std::string>& args);

}  // namespace orlogix::test
