#pragma once
// /SERVER=port or /SERVER=address:port without a window: "Listening on port
// %d" on standard output, serving until SIGINT or SIGTERM, then the server
// is closed and the exit code is 0. A failed start goes to standard error
// under "Start server" with exit code 1.
namespace orlogix {

struct CommandLine;
class Reporter;

int serve_headless(const CommandLine& command, Reporter& reporter);

}  // namespace orlogix
