// The settings file reader on arbitrary text: no crash; every value it keeps
// fits its field, and what it writes back reads back to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/settings.hpp"

using namespace orlogix;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Settings s = default_settings("/home/pilot");
    settings_from_text(text, s);
    for (const SettingEntry& e : settings_table()) {
        if (e.type == SettingType::Text) check((s.*e.text).size() < e.size);
        else check(s.*e.number >= INT32_MIN && s.*e.number <= static_cast<int64_t>(UINT32_MAX));
    }
    // A saved file must load as it was saved: one more round changes nothing.
    Settings again = default_settings("/home/pilot");
    settings_from_text(settings_to_text(s), again);
    Settings third = default_settings("/root");
    const std::string saved = settings_to_text(again);
    settings_from_text(saved, third);
    check(settings_to_text(third) == saved);
    return 0;
}
