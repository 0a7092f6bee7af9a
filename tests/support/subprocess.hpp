#pragma once
// Runs a program for an end-to-end test: its standard output is read line by
// line with a time-out, standard error is collected, standard input is
// /dev/null. The destructor kills and reaps a child that is still running.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace orlogix::test {

class Subprocess {
public:
    Subprocess() = default;
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // Starts `program` (a path, or a name looked up in PATH) with `args`
    // (without argv[0]). 0, or -1 with errno set.
    int start(const std::string& program, const std::vector<std::string>& args);

    // The next line of standard output without its LF (and CR). False on
    // time-out or end of output; a partial line stays for the next call.
    bool read_line(std::string& line, std::chrono::milliseconds timeout);

    // 0, or -1 with errno set.
    int send_signal(int signal_number);

    // Waits for the exit: the exit code, 128 + signal number when a signal
    // ended it, or -1 on time-out (the child keeps running).
    int wait(std::chrono::milliseconds timeout);

    // Standard error collected so far (all of it once wait() succeeded).
    const std::string& error_output();

    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0 && !exited_; }

private:
    void drain_stderr();

    pid_t pid_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    bool exited_ = false;
    int exit_code_ = -1;
    std::string out_buffer_;
    std::string err_text_;
};

// The path of a program built with the tests: the environment variable
// (ORLOGIX_BIN, ORLOGIX_SIM_BIN) when set, else `file_name` in the build folder.
std::string built_program(const char* env_name, const char* file_name);

}  // namespace orlogix::test
