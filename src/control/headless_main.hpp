#pragma once
// The program without a window: parses the command line, runs it on a
// headless event loop and returns the exit code.
namespace orlogix {

int run_headless(int argc, const char* const* argv);

}  // namespace orlogix
