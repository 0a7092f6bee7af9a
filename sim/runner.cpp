#include "sim/runner.hpp"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "sim/pty.hpp"

namespace orlogix::sim {

namespace {
// Without a program on the slave side the master reports hang-up at once;
// this keeps the loop from spinning until the program opens the port again.
constexpr int kNoSlaveWaitMs = 20;
}  // namespace

Runner::Runner(Instrument& instrument, int master_fd, Pacing pacing)
    : instrument_(instrument), master_(master_fd), pacing_(pacing) {
    // In packet mode every read of the master starts with a status byte,
    // which tells of the program flushing its queues.
    int on = 1;
    packet_mode_ = instrument_.notices_purge() && ::ioctl(master_, TIOCPKT, &on) == 0;
}

Runner::~Runner() {
    stop();
}

int Runner::start() {
    if (thread_.joinable()) return 0;
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    stopping_ = false;
    thread_ = std::thread([this] { loop(); });
    return 0;
}

void Runner::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    const char byte = 0;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &byte, 1);
    thread_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
    wake_[0] = wake_[1] = -1;
}

std::chrono::nanoseconds Runner::cpu_time() {
    if (!thread_.joinable()) return {};
    clockid_t clock{};
    timespec t{};
    if (pthread_getcpuclockid(thread_.native_handle(), &clock) != 0 ||
        clock_gettime(clock, &t) != 0)
        return {};
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

void Runner::loop() {
    while (!stopping_) step(std::chrono::milliseconds{-1});
}

int Runner::poll_timeout_ms(Clock::time_point now) const {
    using std::chrono::ceil;
    using std::chrono::milliseconds;
    int timeout = -1;
    auto limit = [&](Clock::time_point when) {
        const long long ms = when <= now ? 0 : ceil<milliseconds>(when - now).count();
        const int clipped = static_cast<int>(std::min<long long>(ms, 60000));
        timeout = timeout < 0 ? clipped : std::min(timeout, clipped);
    };
    if (written_ < pending_.size() && due_ > now) limit(due_);
    if (!inbound_.empty()) {
        const int rate = wire_rate();
        limit(rate > 0 ? in_crossed_ + byte_time(rate) : now);
    }
    if (instrument_.tick_interval().count() > 0) limit(next_tick_);
    return timeout;
}

void Runner::step(std::chrono::milliseconds wait) {
    const auto now = Clock::now();
    if (instrument_.tick_interval().count() > 0 && next_tick_ == Clock::time_point{})
        next_tick_ = now + instrument_.tick_interval();

    int timeout = poll_timeout_ms(now);
    if (wait.count() >= 0) timeout = timeout < 0 ? static_cast<int>(wait.count())
                                                 : std::min(timeout, static_cast<int>(wait.count()));
    const bool want_write = written_ < pending_.size() && due_ <= now;

    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (want_write ? POLLOUT : 0)), 0},
                     {wake_[0], POLLIN, 0}};
    const nfds_t count = wake_[0] >= 0 ? 2 : 1;
    const int ready = ::poll(fds, count, timeout);
    if (ready < 0 && errno != EINTR) return;
    if (stopping_) return;

    bool no_slave = false;
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) read_input(no_slave);
    deliver_input();

    if (instrument_.tick_interval().count() > 0 && Clock::now() >= next_tick_) {
        instrument_.tick();
        next_tick_ = Clock::now() + instrument_.tick_interval();
    }
    write_output();

    if (no_slave) {
        pollfd wake = {wake_[0], POLLIN, 0};
        if (wake_[0] >= 0) ::poll(&wake, 1, kNoSlaveWaitMs);
        else ::usleep(kNoSlaveWaitMs * 1000);
    }
}

void Runner::read_input(bool& no_slave) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0 && packet_mode_) {
            if (buffer[0] != TIOCPKT_DATA) {
                // What the program wrote and had not sent yet is gone with its flush.
                if (buffer[0] & TIOCPKT_FLUSHWRITE) inbound_.clear();
                if (buffer[0] & (TIOCPKT_FLUSHREAD | TIOCPKT_FLUSHWRITE)) instrument_.purged();
                continue;
            }
        }
        if (n > 0) {
            // In packet mode the first byte is the status, the data follow.
            const std::size_t skip = packet_mode_ ? 1 : 0;
            const std::string_view bytes(buffer + skip, static_cast<std::size_t>(n) - skip);
            // The rate the program's side had while they came.
            const int rate = line_rate(master_);
            record(true, bytes, rate);
            std::string heard = rates_differ(instrument_.line_rate(), rate) ? garbled(bytes) : std::string(bytes);
            if (pacing_ == Pacing::Off) {
                instrument_.receive(heard);
                continue;
            }
            // The line was idle until now, or the bytes queue behind those still crossing.
            if (inbound_.empty()) in_crossed_ = std::max(in_crossed_, Clock::now());
            inbound_ += heard;
            continue;
        }
        // EIO: no program has the slave side open (closed, or between reopens).
        if (n < 0 && errno == EIO) no_slave = true;
        if (n < 0 && errno == EINTR) continue;
        return;
    }
}

int Runner::wire_rate(int instrument_rate) const {
    if (pacing_ == Pacing::Off) return 0;
    if (instrument_rate > 0) return instrument_rate;
    const int rate = line_rate(master_);
    return rate > 0 ? rate : 0;
}

void Runner::deliver_input() {
    if (inbound_.empty()) return;
    std::size_t n = inbound_.size();
    if (const int rate = wire_rate(); rate > 0) {
        const auto now = Clock::now();
        const auto byte = byte_time(rate);
        n = now < in_crossed_ ? 0 : std::min<std::size_t>(n, static_cast<std::size_t>((now - in_crossed_) / byte));
        in_crossed_ += static_cast<long long>(n) * byte;
    }
    if (n == 0) return;
    const std::string crossed = inbound_.substr(0, n);
    inbound_.erase(0, n);
    instrument_.receive(crossed);
}

void Runner::write_output() {
    for (;;) {
        if (written_ >= pending_.size()) {
            if (!instrument_.has_output()) return;
            OutputChunk chunk = instrument_.take_chunk();
            pending_ = std::move(chunk.bytes);
            pending_rate_ = chunk.rate;
            written_ = 0;
            due_ = Clock::now() + chunk.pause_before;
            // Paced, its first byte starts once the pause is over and the line is free.
            out_crossed_ = std::max(out_crossed_, due_);
        }
        const auto now = Clock::now();
        if (now < due_) return;
        // A line at the wrong rate delivers nothing but framing errors.
        const int rate = line_rate(master_);
        std::string_view rest = std::string_view(pending_).substr(written_);
        // Paced: only the bytes that have crossed by now, the next one when it has.
        const int paced_rate = wire_rate(pending_rate_);
        if (paced_rate > 0) {
            const auto byte = byte_time(paced_rate);
            const auto crossed = now < out_crossed_ ? 0 : static_cast<std::size_t>((now - out_crossed_) / byte);
            if (crossed == 0) {
                due_ = out_crossed_ + byte;
                return;
            }
            rest = rest.substr(0, crossed);
        }
        const std::string out = rates_differ(pending_rate_, rate) ? garbled(rest) : std::string(rest);
        const ssize_t n = ::write(master_, out.data(), out.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // full, or no slave: retried on the next round
        record(false, std::string_view(out).substr(0, static_cast<std::size_t>(n)), rate);
        written_ += static_cast<std::size_t>(n);
        if (paced_rate > 0) out_crossed_ += n * byte_time(paced_rate);
    }
}

void Runner::record(bool from_program, std::string_view bytes, int rate) {
    {
        std::lock_guard lock(mutex_);
        if (!transcript_.empty() && transcript_.back().from_program == from_program && transcript_.back().rate == rate)
            transcript_.back().bytes.append(bytes);
        else
            transcript_.push_back({from_program, std::string(bytes), rate});
        (from_program ? received_total_ : sent_total_) += bytes.size();
    }
    changed_.notify_all();
}

std::vector<TranscriptEntry> Runner::transcript() const {
    std::lock_guard lock(mutex_);
    return transcript_;
}

std::string Runner::received() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& e : transcript_)
        if (e.from_program) all += e.bytes;
    return all;
}

std::string Runner::sent() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& e : transcript_)
        if (!e.from_program) all += e.bytes;
    return all;
}

bool Runner::wait_received(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return received_total_ >= n; });
}

bool Runner::wait_sent(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return sent_total_ >= n; });
}

}  // namespace orlogix::sim
