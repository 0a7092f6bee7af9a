// The pilot list readers on arbitrary bytes: no crash, no hang, every name
// and device within its length and valid UTF-8, numbers -1 or in range, and
// a list written as CSV reads back to the same pilots.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "competition/pilot_list.hpp"
#include "competition/pilot_text.hpp"
#include "formats/xml/escape.hpp"

using namespace orlogix;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void check_pilots(const PilotListDecode& d) {
    check(d.ok() || d.pilots.empty());
    for (const PilotRecord& p : d.pilots) {
        check(!p.name.empty() && cut_characters(p.name, kPilotNameMax) == p.name);
        check(p.comp_id >= -1 && p.civl_id >= -1);
        for (const std::string& device : p.devices) check(device.size() <= kPilotDeviceMax);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const PilotListDecode all = decode_pilot_list(bytes);
    check_pilots(all);
    check_pilots(decode_fs_pilots(bytes));
    check_pilots(decode_race_pilots(bytes));
    const PilotListDecode csv = decode_csv_pilots(bytes);
    check_pilots(csv);
    if (!csv.ok()) return 0;
    for (const PilotRecord& p : csv.pilots) check(valid_utf8(p.name));
    // Names and devices come out cleaned, so the writer's text reads back unchanged.
    const PilotListDecode back = decode_csv_pilots(encode_pilot_list_csv(csv.pilots));
    check(back.ok() && back.pilots.size() == csv.pilots.size());
    for (std::size_t i = 0; i < csv.pilots.size(); ++i) {
        check(back.pilots[i].name == csv.pilots[i].name);
        check(back.pilots[i].comp_id == csv.pilots[i].comp_id && back.pilots[i].civl_id == csv.pilots[i].civl_id);
        check(back.pilots[i].devices == csv.pilots[i].devices);
    }
    return 0;
}
