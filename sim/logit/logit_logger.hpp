#pragma once
// A simulated LogIt logger, or the model that names itself TRACKLOGGER: it
// answers the product request (firmware 1.02 with the checksum that model
// gets wrong), the Tracklogger's point count, serves its track log as
// binary frames at the rate each start sentence names, restarts at a point
// when asked, and reports erases and owner names.
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/mlr/pmlr_instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct LogItConfig {
    std::string name = "LOGIT";       // or "TRACKLOGGER"
    std::string firmware = "1.02";
    std::string maker = "MLR";
    std::string serial = "2041";
    std::vector<TrackPosition> positions;
    // A data frame (counted from 1 from the first point) sent with a spoiled sum.
    std::size_t bad_frame = 0;
    bool bad_every_time = false;      // spoil it in every transfer, restarts too
};

class LogItLogger : public PmlrInstrument {
public:
    explicit LogItLogger(LogItConfig config) : config_(std::move(config)) { talk_at(4800); }

protected:
    void handle(const std::string& line) override;

private:
    void send_log(int rate);

    LogItConfig config_;
    unsigned restart_at_ = 0;   // 0: the next start begins at the first point
    int transfers_ = 0;
};

void register_logit_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
