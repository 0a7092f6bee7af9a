#include "support/subprocess.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace orlogix::test {

namespace {

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

std::string built_program(const char* env_name, const char* file_name) {
    const char* value = std::getenv(env_name);
    if (value && *value) return value;
    return std::string(ORLOGIX_BINARY_DIR) + "/" + file_name;
}

Subprocess::~Subprocess() {
    if (running()) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    close_fd(out_fd_);
    close_fd(err_fd_);
}

int Subprocess::start(const std::string& program, const std::vector<std::string>& args) {
    if (pid_ > 0) {
        errno = EBUSY;
        return -1;
    }
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0) return -1;
    if (pipe2(err, O_CLOEXEC) != 0) {
        const int e = errno;
        ::close(out[0]);
        ::close(out[1]);
        errno = e;
        return -1;
    }
    std::vector<std::string> argv_strings;
    argv_strings.push_back(program);
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    // The test may block signals on its threads; the child starts with none blocked.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);

    const bool search = program.find('/') == std::string::npos;
    const int rc = search ? posix_spawnp(&pid_, program.c_str(), &actions, &attr, argv.data(), environ)
                          : posix_spawn(&pid_, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(out[0]);
        ::close(err[0]);
        pid_ = -1;
        errno = rc;
        return -1;
    }
    out_fd_ = out[0];
    err_fd_ = err[0];
    fcntl(err_fd_, F_SETFL, fcntl(err_fd_, F_GETFL) | O_NONBLOCK);
    exited_ = false;
    return 0;
}

bool Subprocess::read_line(std::string& line, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto lf = out_buffer_.find('\n');
        if (lf != std::string::npos) {
            line = out_buffer_.substr(0, lf);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out_buffer_.erase(0, lf + 1);
            return true;
        }
        if (out_fd_ < 0) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p = {out_fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        char buffer[1024];
        const ssize_t n = ::read(out_fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close_fd(out_fd_);
            continue;
        }
        out_buffer_.append(buffer, static_cast<std::size_t>(n));
        drain_stderr();
    }
}

int Subprocess::send_signal(int signal_number) {
    if (!running()) {
        errno = ESRCH;
        return -1;
    }
    return ::kill(pid_, signal_number);
}

int Subprocess::wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exited_) {
        drain_stderr();
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exited_ = true;
            exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (r < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    drain_stderr();
    return exit_code_;
}

const std::string& Subprocess::error_output() {
    drain_stderr();
    return err_text_;
}

void Subprocess::drain_stderr() {
    char buffer[1024];
    while (err_fd_ >= 0) {
        const ssize_t n = ::read(err_fd_, buffer, sizeof buffer);
        if (n > 0) {
            err_text_.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) close_fd(err_fd_);
        return;
    }
}

}  // namespace orlogix::test
