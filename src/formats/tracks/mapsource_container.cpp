#include "formats/tracks/mapsource_container.hpp"

#include <cstring>

#include "core/report.hpp"

namespace orlogix {

MapSourceWriter::MapSourceWriter() {
    bytes_.append("MsRcd", 6);  // with its NUL
    begin_record('D');
    bytes_.append("i", 2);
    end_record();
    begin_record('A');
    u16(504);
    text("SQA");
    text("Nov  6 2003");
    text("16:01:32");
    end_record();
}

void MapSourceWriter::u8(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }

void MapSourceWriter::u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
}

void MapSourceWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(static_cast<uint8_t>(v >> (8 * i)));
}

void MapSourceWriter::f64(double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 8; ++i) u8(static_cast<uint8_t>(bits >> (8 * i)));
}

void MapSourceWriter::zeros(std::size_t n) { bytes_.append(n, '\0'); }

void MapSourceWriter::text(std::string_view s) {
    bytes_.append(s);
    bytes_.push_back('\0');
}

void MapSourceWriter::begin_record(char type) {
    record_start_ = bytes_.size();
    u32(0);
    bytes_.push_back(type);
}

void MapSourceWriter::end_record() {
    const uint32_t length = static_cast<uint32_t>(bytes_.size() - record_start_ - 5);
    for (int i = 0; i < 4; ++i) bytes_[record_start_ + i] = static_cast<char>(length >> (8 * i));
}

void MapSourceWriter::finish() {
    begin_record('V');
    u8(0);
    u8(1);
    end_record();
}

bool MapSourceCursor::take(std::size_t n, const char*& p) {
    if (failed_ || n > data_.size() - pos_) {
        failed_ = true;
        return false;
    }
    p = data_.data() + pos_;
    pos_ += n;
    return true;
}

bool MapSourceCursor::u8(uint8_t& v) {
    const char* p = nullptr;
    if (!take(1, p)) return false;
    v = static_cast<uint8_t>(*p);
    return true;
}

bool MapSourceCursor::u32(uint32_t& v) {
    const char* p = nullptr;
    if (!take(4, p)) return false;
    v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(p[i]);
    return true;
}

bool MapSourceCursor::i32(int32_t& v) {
    uint32_t u = 0;
    if (!u32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
}

bool MapSourceCursor::f64(double& v) {
    const char* p = nullptr;
    if (!take(8, p)) return false;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | static_cast<uint8_t>(p[i]);
    std::memcpy(&v, &bits, sizeof v);
    return true;
}

bool MapSourceCursor::skip(std::size_t n) {
    const char* p = nullptr;
    return take(n, p);
}

bool MapSourceCursor::text(std::string& s) {
    if (failed_) return false;
    const std::size_t nul = data_.find('\0', pos_);
    if (nul == std::string_view::npos) {
        failed_ = true;
        return false;
    }
    s.assign(data_.substr(pos_, nul - pos_));
    pos_ = nul + 1;
    return true;
}

bool MapSourceCursor::skip_text() {
    std::string ignored;
    return text(ignored);
}

namespace {

uint32_t read_u32(std::string_view bytes, std::size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

int format_error(Reporter& r, std::size_t offset) {
    r.error_box(kMapSourceDecodeTitle, strformat("File format error at %08xh", static_cast<unsigned>(offset)));
    return -1;
}

// The record at offset, when its length field and data fit the file.
bool record_at(std::string_view bytes, std::size_t offset, MapSourceRecord& out) {
    if (bytes.size() - offset < 5) return false;
    // 64-bit sum: a length near 2^32 cannot wrap past the end of the file.
    const uint64_t length = read_u32(bytes, offset);
    if (static_cast<uint64_t>(offset) + 5 + length > bytes.size()) return false;
    out.type = bytes[offset + 4];
    out.offset = offset;
    out.data_offset = offset + 5;
    out.data = bytes.substr(offset + 5, static_cast<std::size_t>(length));
    return true;
}

}  // namespace

int walk_mapsource(Reporter& r, std::string_view bytes, char& version, const MapSourceVisitor& visit) {
    if (bytes.substr(0, 5) != "MsRcd") {
        r.error_box(kMapSourceDecodeTitle, "Not a MapSource file");
        return -1;
    }
    std::size_t offset = 6;
    if (bytes.size() < offset) return format_error(r, bytes.size());
    MapSourceRecord rec;
    if (!record_at(bytes, offset, rec) || rec.type != 'D' || rec.data.empty()) {
        r.error_box(kMapSourceDecodeTitle, "Not a MapSource file");
        return -1;
    }
    if (rec.data[0] < 'd' || rec.data[0] > 'i') {
        r.error_box(kMapSourceDecodeTitle, "Unsupported MapSource version");
        return -1;
    }
    version = rec.data[0];
    offset = rec.data_offset + rec.data.size();
    if (!record_at(bytes, offset, rec)) return format_error(r, offset);
    offset = rec.data_offset + rec.data.size();
    for (;;) {
        if (!record_at(bytes, offset, rec)) return format_error(r, offset);
        if (rec.type == 'V') {
            if (rec.data_offset + rec.data.size() != bytes.size()) return format_error(r, offset);
            return 0;
        }
        if (visit && visit(rec) != 0) return format_error(r, offset);
        offset = rec.data_offset + rec.data.size();
    }
}

}  // namespace orlogix
