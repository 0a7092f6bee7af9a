#pragma once
// A link wrapped so that its traffic reaches the debug trace: every byte
// written (before it goes out), and every byte read while input tracing is
// on (the protocol readers that trace their input turn it on).
#include <atomic>
#include <memory>

#include "access/link_interface.hpp"

namespace orlogix {

class TracingLink : public Link {
public:
    explicit TracingLink(std::shared_ptr<Link> inner) : inner_(std::move(inner)) {}

    // Replaces the wrapped link; only while nothing uses it.
    void set_inner(std::shared_ptr<Link> inner) { inner_ = std::move(inner); }
    Link& inner() { return *inner_; }
    void set_trace_input(bool on) { trace_input_ = on; }

    std::string device_for(const std::string& port_name, const DeviceRoots& roots) const override {
        return inner_->device_for(port_name, roots);
    }
    int open(const std::string& device) override { return inner_->open(device); }
    int configure(int baud, bool xon_xoff) override { return inner_->configure(baud, xon_xoff); }
    int purge() override { return inner_->purge(); }
    int read(uint8_t* buffer, std::size_t max, int timeout_ms = kReadTimeoutMs) override;
    int write(const uint8_t* data, std::size_t count) override;
    void close() override { inner_->close(); }
    bool is_open() const override { return inner_->is_open(); }
    int baud() const override { return inner_->baud(); }
    bool xon_xoff() const override { return inner_->xon_xoff(); }
    Clock& clock() override { return inner_->clock(); }

private:
    std::shared_ptr<Link> inner_;
    std::atomic<bool> trace_input_{false};
};

}  // namespace orlogix
