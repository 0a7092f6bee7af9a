#pragma once
// IGC text as the Flytec/Brauniger, IQ Basic and DSX instruments deliver it:
// a line assembler fed byte by byte and a record decoder that turns A, date,
// B and G records into the logger's code, the day base and positions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/records.hpp"

namespace orlogix::flytec {

// Splits the text into records. At a line start a line feed counts a line,
// a carriage return is skipped and "A".."Z" starts a record; inside a record
// every byte but the line feed is kept, the carriage return included; a
// carriage return not followed by the line feed is a bad record start.
class IgcLineAssembler {
public:
    enum class Result {
        More,
        Record,          // record() holds one record
        BadRecordType,   // bad_byte() began a line ("Bad record type (%02X)")
        TooLong,         // a record passed 81 characters ("Too long sentence")
    };
    static constexpr std::size_t kMaxRecord = 81;

    Result feed(char byte);
    std::string_view record() const { return record_; }
    uint8_t bad_byte() const { return bad_; }
    int lines() const { return lines_; }
    // True while a record has begun and its line feed has not come.
    bool in_record() const { return in_record_; }
    void reset();

private:
    std::string record_;
    bool in_record_ = false;
    bool done_ = false;
    uint8_t bad_ = 0;
    int lines_ = 0;
};

enum class IgcRecord { Ignored, A, Date, Position, G };

// Format error numbers of the record decoder (negated as results).
enum IgcError {
    kIgcDateYear = 1, kIgcDateMonth = 2, kIgcMonthRange = 3, kIgcDateDay = 4, kIgcDayRange = 5,
    kIgcNoMemory = 6, kIgcAltitude = 7, kIgcLonThousandths = 8, kIgcLonMinutes = 9, kIgcLonDegrees = 10,
    kIgcLonRange = 11, kIgcLonLetter = 12, kIgcLatThousandths = 13, kIgcLatMinutes = 14, kIgcLatDegrees = 15,
    kIgcLatRange = 16, kIgcLatLetter = 17, kIgcSeconds = 18, kIgcSecondsRange = 19, kIgcMinutes = 20,
    kIgcMinutesRange = 21, kIgcHours = 22, kIgcHoursRange = 23, kIgcShortB = 24, kIgcNoDate = 25,
    kIgcShortA = 28, kIgcBadLogger = 29,
};

// Decodes the records of one track. Lengths count the record letter and a
// trailing carriage return. The date record is "HFDTEDDMMYY" or
// "HFDTEDATE:DDMMYY[,NN]"; six digits in the IQ Basic's strict form,
// unsigned decimals (blanks allowed) otherwise.
class IgcDecoder {
public:
    explicit IgcDecoder(bool strict_date = false) : strict_date_(strict_date) {}

    // The kind of record, or -n for format error n. A Position result
    // leaves the fix in position(); the caller appends it.
    int decode(std::string_view record);
    const TrackPosition& position() const { return position_; }

    bool has_a_record() const { return has_a_; }
    const std::string& maker() const { return maker_; }       // A-record characters 1-3
    const std::string& logger() const { return logger_; }     // A-record characters 4-6
    int g_records() const { return g_records_; }
    std::size_t positions() const { return positions_; }
    uint32_t first_time() const { return first_time_; }
    uint32_t last_time() const { return position_.time; }
    void reset() { *this = IgcDecoder(strict_date_); }

private:
    int date(std::string_view record);
    int fix(std::string_view record);

    bool strict_date_;
    bool has_a_ = false;
    std::string maker_, logger_;
    int g_records_ = 0;
    bool has_date_ = false;
    uint32_t day_base_ = 0, day_offset_ = 0, previous_ = 0;
    std::size_t positions_ = 0;
    uint32_t first_time_ = 0;
    TrackPosition position_;
};

// Seconds left of a listed track: the listed end minus the last fix, scaled
// by the rate fixes have come in so far; 0..5999, 5999 while no fix time has
// passed.
int remaining_seconds(uint32_t first_time, uint32_t duration, uint32_t last_time, uint64_t elapsed_ms);

}  // namespace orlogix::flytec
