// The comma-separated pilot list: name, competition number, CIVL number and
// four devices a line, fields quoted the usual way when they hold a comma or
// a double quote.
#include <string>
#include <vector>

#include "competition/pilot_list.hpp"
#include "competition/pilot_text.hpp"
#include "core/report.hpp"
#include "formats/xml/escape.hpp"

namespace orlogix {

namespace {

constexpr std::size_t kFields = 3 + kPilotDevices;

// Up to kFields fields; further commas stay in the last one.
std::vector<std::string> split_fields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (fields.size() < kFields) {
        std::string field;
        std::size_t j = i;
        while (j < line.size() && line[j] == ' ') ++j;
        if (j < line.size() && line[j] == '"') {
            // Quoted: "" stands for one quote; what follows the closing quote up to the comma is kept too.
            for (++j; j < line.size(); ++j) {
                if (line[j] != '"') {
                    field += line[j];
                } else if (j + 1 < line.size() && line[j + 1] == '"') {
                    field += '"';
                    ++j;
                } else {
                    ++j;
                    break;
                }
            }
            i = j;
        }
        const bool last = fields.size() + 1 == kFields;
        const std::size_t comma = last ? std::string_view::npos : line.find(',', i);
        const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
        field.append(line.substr(i, end - i));
        fields.push_back(std::move(field));
        if (comma == std::string_view::npos) break;
        i = comma + 1;
    }
    fields.resize(kFields);
    return fields;
}

bool is_header_name(std::string_view name) {
    if (name.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if ((name[i] | 0x20) != "name"[i]) return false;
    return true;
}

// Empty or negative: none.
bool number_field(const std::string& text, int32_t& value) {
    const NumberRead rc = read_pilot_number(text, value);
    if (rc == NumberRead::Bad) return false;
    if (rc != NumberRead::Ok) value = -1;
    return true;
}

std::string csv_field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

PilotListDecode decode_csv_pilots(std::string_view bytes) {
    PilotListDecode out;
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    bool first = true;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = bytes.size();
        std::string line(bytes.substr(pos, end - pos));
        pos = end + 1;
        if (!valid_utf8(line)) line = windows1252_to_utf8(line);
        std::vector<std::string> f = split_fields(line);
        for (std::string& field : f) field = clean_pilot_text(field);
        if (f[0].empty()) continue;
        const bool header = first && is_header_name(f[0]);
        first = false;
        if (header) continue;
        PilotRecord p;
        // Cleaned again after the cut, which may end on a blank.
        p.name = clean_pilot_text(cut_characters(f[0], kPilotNameMax));
        const bool comp_ok = number_field(f[1], p.comp_id);
        if (!comp_ok || !number_field(f[2], p.civl_id)) {
            out.error = comp_ok ? "Bad CivlId number" : "Bad CompId number";
            out.pilots.clear();
            return out;
        }
        for (std::size_t d = 0; d < kPilotDevices; ++d)
            p.devices[d] = clean_pilot_text(cut_bytes(f[3 + d], kPilotDeviceMax));
        out.pilots.push_back(std::move(p));
    }
    return out;
}

std::string encode_pilot_list_csv(const std::vector<PilotRecord>& pilots) {
    std::string text = "Name,CompId,CivlId";
    for (std::size_t d = 1; d <= kPilotDevices; ++d) text += strformat(",Device%zu", d);
    text += "\r\n";
    for (const PilotRecord& p : pilots) {
        text += csv_field(p.name);
        text += "," + pilot_number_text(p.comp_id);
        text += "," + pilot_number_text(p.civl_id);
        for (const std::string& device : p.devices) text += "," + csv_field(device);
        text += "\r\n";
    }
    return text;
}

}  // namespace orlogix
