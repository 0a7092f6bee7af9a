#include "access/memory_link.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "access/serial_link.hpp"

namespace orlogix {

std::string MemoryLink::device_for(const std::string&, const DeviceRoots&) const {
    std::lock_guard lock(mutex_);
    return present_ ? "memory" : "";
}

int MemoryLink::open(const std::string&) {
    std::lock_guard lock(mutex_);
    if (!present_) {
        errno = ENOENT;
        return -1;
    }
    open_ = true;
    ++opens_;
    return 0;
}

int MemoryLink::configure(int baud, bool xon_xoff) {
    std::lock_guard lock(mutex_);
    unsigned speed = 0;
    if (!open_) {
        errno = EBADF;
        return -1;
    }
    // The same rates as the serial link, so a job that asks for another fails here too.
    if (!termios_speed(baud, speed)) {
        errno = EINVAL;
        return -1;
    }
    baud_ = baud;
    xon_xoff_ = xon_xoff;
    settings_.emplace_back(baud, xon_xoff);
    // The instrument's end sees the new rate: bytes at another one arrive garbled.
    peer_.set_line_rate(baud);
    return 0;
}

int MemoryLink::purge() {
    std::lock_guard lock(mutex_);
    if (!open_) {
        errno = EBADF;
        return -1;
    }
    peer_.purge(clock_.now_ms());
    return 0;
}

std::size_t MemoryLink::cross(char* bytes, std::size_t count, bool from_program) {
    const std::size_t before = exchange_.size();
    std::size_t n = count;
    if (faults_.cut_after) n = std::min(n, *faults_.cut_after > before ? *faults_.cut_after - before : 0);
    if (n == 0) return 0;
    if (faults_.spoil_at && *faults_.spoil_at >= before && *faults_.spoil_at < before + n)
        bytes[*faults_.spoil_at - before] = static_cast<char>(~bytes[*faults_.spoil_at - before]);
    if (turns_.empty() || turns_.back().second != from_program) turns_.emplace_back(before, from_program);
    exchange_.append(bytes, n);
    if (watch_ && watch_at_ > before && watch_at_ <= before + n) std::exchange(watch_, nullptr)();
    return n;
}

int MemoryLink::read(uint8_t* buffer, std::size_t max, int timeout_ms) {
    std::lock_guard lock(mutex_);
    if (!open_ || read_failure_) {
        errno = open_ ? EIO : EBADF;
        return -1;
    }
    if (max == 0) return 0;
    int64_t now = clock_.now_ms();
    const int64_t until = now + std::max(timeout_ms, 0);
    char* bytes = reinterpret_cast<char*>(buffer);
    for (;;) {
        const std::size_t n = peer_.to_program(bytes, max, now);
        if (n > 0) {
            // Bytes lost to a cut are gone; the read goes on as a silence.
            const std::size_t got = cross(bytes, n, false);
            if (got > 0) return static_cast<int>(got);
            continue;
        }
        const int64_t due = peer_.next_due_ms(now);
        if (due <= now || due > until) break;
        clock_.advance(due - now);
        now = due;
    }
    clock_.advance(until - now);
    return 0;
}

int MemoryLink::write(const uint8_t* data, std::size_t count) {
    std::lock_guard lock(mutex_);
    if (!open_ || write_failure_) {
        errno = open_ ? EIO : EBADF;
        return -1;
    }
    // A cut line still takes bytes: the sender cannot tell.
    scratch_.assign(reinterpret_cast<const char*>(data), count);
    const std::size_t got = cross(scratch_.data(), count, true);
    if (got > 0) peer_.from_program(std::string_view(scratch_.data(), got), clock_.now_ms());
    return 0;
}

void MemoryLink::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    baud_ = 0;
}

bool MemoryLink::is_open() const {
    std::lock_guard lock(mutex_);
    return open_;
}

int MemoryLink::baud() const {
    std::lock_guard lock(mutex_);
    return baud_;
}

bool MemoryLink::xon_xoff() const {
    std::lock_guard lock(mutex_);
    return xon_xoff_;
}

void MemoryLink::set_faults(const LineFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
}

void MemoryLink::watch(std::size_t after, std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    watch_at_ = after;
    watch_ = std::move(fn);
}

void MemoryLink::set_present(bool present) {
    std::lock_guard lock(mutex_);
    present_ = present;
}

void MemoryLink::set_read_failure(bool fail) {
    std::lock_guard lock(mutex_);
    read_failure_ = fail;
}

void MemoryLink::set_write_failure(bool fail) {
    std::lock_guard lock(mutex_);
    write_failure_ = fail;
}

std::vector<Crossing> MemoryLink::transcript() const {
    std::lock_guard lock(mutex_);
    std::vector<Crossing> out;
    for (std::size_t i = 0; i < turns_.size(); ++i) {
        const std::size_t end = i + 1 < turns_.size() ? turns_[i + 1].first : exchange_.size();
        out.push_back({turns_[i].second, exchange_.substr(turns_[i].first, end - turns_[i].first)});
    }
    return out;
}

std::string MemoryLink::exchange() const {
    std::lock_guard lock(mutex_);
    return exchange_;
}

std::string MemoryLink::from_program() const { return one_way(true); }

std::string MemoryLink::to_program() const { return one_way(false); }

std::string MemoryLink::one_way(bool from_program) const {
    std::string all;
    for (const Crossing& c : transcript())
        if (c.from_program == from_program) all += c.bytes;
    return all;
}

std::size_t MemoryLink::crossed() const {
    std::lock_guard lock(mutex_);
    return exchange_.size();
}

std::vector<std::pair<int, bool>> MemoryLink::settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

int MemoryLink::opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

}  // namespace orlogix
