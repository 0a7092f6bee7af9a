#pragma once
// A simulated MTK GPS logger (Pentagram and others): its flash holds a
// track in the binary log format (sector headers, a setting marker, the
// last sector still open), and it answers the $PMTK commands hosts send:
// test, firmware and product queries, the log settings and counters, log
// on/off, erase, and reads of any length answered as data sentences of at
// most 0x800 bytes followed by the read's acknowledgement.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/records.hpp"
#include "sim/instrument.hpp"

namespace orlogix::sim {

class FamilyRegistry;

struct MtkConfig {
    std::string release = "AXN_0.3-B_1.3_C01";
    std::string model = "0001";
    bool logging = true;
    std::vector<TrackPosition> positions;   // the track the flash holds
    std::string image_file;                 // where the flash is saved; empty: nowhere
    char erase_answer = '3';                // the erase acknowledgement's result ('3' done)
    bool stream = false;                    // a GGA sentence every second, as a switched-on receiver sends
};

// The record format the image is written with: time, fix flag, latitude,
// longitude (doubles) and height.
inline constexpr uint32_t kMtkImageFormat = 0x1F;

struct MtkImage {
    std::vector<uint8_t> bytes;   // the used part of the flash
    uint32_t records = 0;
};
// The flash image of a track: full sectors with their record counts, the
// last one open (count 0xFFFF); a period marker starts the log.
MtkImage mtk_image(const std::vector<TrackPosition>& positions);

class MtkLogger : public Instrument {
public:
    explicit MtkLogger(MtkConfig config);
    bool logging() const { return config_.logging; }
    const MtkImage& image() const { return image_; }

    std::chrono::milliseconds tick_interval() const override {
        return std::chrono::milliseconds(config_.stream ? 1000 : 0);
    }

protected:
    void on_bytes(std::string_view bytes) override;
    void on_tick() override;

private:
    void handle(std::string_view body);
    void query(std::string_view item);
    void read(uint32_t offset, uint32_t length);
    void save() const;

    MtkConfig config_;
    MtkImage image_;
    std::string line_;
    bool in_line_ = false;
};

void register_mtk_family(FamilyRegistry& registry);

}  // namespace orlogix::sim
