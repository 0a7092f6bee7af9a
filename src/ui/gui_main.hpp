#pragma once
// The program with its window: an optional command line runs inside it.
#include <optional>

#include "control/command_line.hpp"

namespace orlogix::ui {

int run_gui(int argc, char** argv, std::optional<CommandLine> command);

}  // namespace orlogix::ui
