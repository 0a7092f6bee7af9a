// orlogix: the program's entry point. Until the main window exists every
// command line runs headless.
#include "control/headless_main.hpp"

int main(int argc, char** argv) { return orlogix::run_headless(argc, argv); }
