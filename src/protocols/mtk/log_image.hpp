#pragma once
// The MTK binary log as it lies in the logger's flash: 64 KiB sectors, each
// with a 512-byte header (record count, format mask, log mode, period,
// distance, speed, the 0x2A 0x3F and 0xBBBBBBBB marks), then records and
// 16-byte setting markers. A record carries the fields its format mask
// names, a "*" and the exclusive-or of its field bytes. Pure decoding.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/records.hpp"

namespace orlogix::mtk {

inline constexpr std::size_t kSectorSize = 65536;
inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kMarkerSize = 16;
inline constexpr uint16_t kOpenSector = 0xFFFF;
// Seconds from 1970-01-01 to 1989-12-31, the track positions' epoch.
inline constexpr int64_t kEpochOffset = 631065600;

// Format mask bits.
enum FormatBit : uint32_t {
    kUtc = 0x00001, kValid = 0x00002, kLatitude = 0x00004, kLongitude = 0x00008, kHeight = 0x00010,
    kSpeed = 0x00020, kHeading = 0x00040, kDsta = 0x00080, kDage = 0x00100, kPdop = 0x00200, kHdop = 0x00400,
    kVdop = 0x00800, kNsat = 0x01000, kSatellites = 0x02000, kElevation = 0x04000, kAzimuth = 0x08000,
    kSnr = 0x10000, kRcr = 0x20000, kMilliseconds = 0x40000, kDistance = 0x80000,
};

// Setting marker types.
enum MarkerType : uint8_t { kMarkerFormat = 2, kMarkerPeriod = 3, kMarkerDistance = 4, kMarkerSpeed = 5 };

struct SectorSettings {
    uint32_t format = 0;
    uint16_t mode = 0, period = 0, distance = 0, speed = 0;
};

struct DecodedLog {
    std::vector<TrackPosition> positions;
    int bad_headers = 0;   // sectors skipped for their header
    int bad_records = 0;   // sectors whose decoding stopped at a spoiled record
};

// True when data[at..at+16) is a setting marker.
bool is_marker(std::span<const uint8_t> sector, std::size_t at);

// Decodes every sector of the image. A spoiled record ends its sector only:
// the next sector is decoded as usual. No-fix records, records before
// 1989-12-31 and records with values out of range give no position.
DecodedLog decode_log(std::span<const uint8_t> image);

}  // namespace orlogix::mtk
