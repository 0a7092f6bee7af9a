#pragma once
// The MapSource (.mps) container shared by the track and waypoint forms: the
// fixed file head, records of "u32 length, type letter, data" (little-endian;
// the length counts the bytes after the type letter), the end record, and a
// checked walk over a file's records.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace orlogix {

class Reporter;

inline constexpr const char* kMapSourceDecodeTitle = "Decoding MapSource file";

// Builds records into a byte string.
class MapSourceWriter {
public:
    // "MsRcd", the "D" record of version "i" and the "A" record (45 bytes).
    MapSourceWriter();

    void u8(uint8_t v);
    void u16(uint16_t v);
    void u32(uint32_t v);
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f64(double v);
    void zeros(std::size_t n);
    void text(std::string_view s);   // the characters and a NUL

    // Starts a record of this type; its length is filled in by end_record.
    void begin_record(char type);
    void end_record();
    // The "V" end record; then bytes() is the whole file.
    void finish();

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
    std::size_t record_start_ = 0;
};

// Reads inside one record: every read is checked against the record's end,
// and once one fails every later read fails too.
class MapSourceCursor {
public:
    MapSourceCursor(std::string_view data, std::size_t file_offset) : data_(data), base_(file_offset) {}

    bool u8(uint8_t& v);
    bool u32(uint32_t& v);
    bool i32(int32_t& v);
    bool f64(double& v);
    bool skip(std::size_t n);
    // A NUL-terminated text; the NUL is consumed, not returned.
    bool text(std::string& s);
    bool skip_text();

    std::size_t remaining() const { return failed_ ? 0 : data_.size() - pos_; }
    bool at_end() const { return !failed_ && pos_ == data_.size(); }
    bool failed() const { return failed_; }
    // Offset in the file of the next byte.
    std::size_t file_offset() const { return base_ + pos_; }

private:
    bool take(std::size_t n, const char*& p);
    std::string_view data_;
    std::size_t base_ = 0;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

struct MapSourceRecord {
    char type = 0;
    std::string_view data;      // the bytes after the type letter
    std::size_t offset = 0;     // file offset of the record's length field
    std::size_t data_offset = 0;
};

// Called for each record after the head records ("D" and the one after it),
// up to but not including the "V" end record. Returns 0 to go on, or -1 for
// a record that is not what its type promises: the walk then fails with
// "File format error at %08xh" at the record's offset.
using MapSourceVisitor = std::function<int(const MapSourceRecord& record)>;

// Checks the head ("Not a MapSource file", "Unsupported MapSource version"),
// walks every record by its length and requires a "V" record that ends
// exactly at the end of the file. version gets the letter of the "D" record
// ('d' to 'i'). 0, or -1 after reporting under "Decoding MapSource file".
int walk_mapsource(Reporter& r, std::string_view bytes, char& version, const MapSourceVisitor& visit);

}  // namespace orlogix
