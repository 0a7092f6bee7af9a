#pragma once
// The base of the simulated $PMLR instruments (MLR receivers and LogIt
// loggers): what the host writes, cut into "$" lines up to their LF, each
// handed to handle() whole.
#include <string>
#include <string_view>

#include "sim/instrument.hpp"

namespace orlogix::sim {

class PmlrInstrument : public Instrument {
protected:
    // One line from "$" through its LF.
    virtual void handle(const std::string& line) = 0;

    void on_bytes(std::string_view bytes) final {
        for (const char c : bytes) {
            if (c == '$') line_.clear();
            if (line_.size() < kLineMax) line_ += c;
            if (c == '\n' && !line_.empty() && line_[0] == '$') {
                handle(line_);
                line_.clear();
            }
        }
    }

private:
    static constexpr std::size_t kLineMax = 200;
    std::string line_;
};

}  // namespace orlogix::sim
