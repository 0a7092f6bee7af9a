#include "formats/igc/names.hpp"

#include "core/report.hpp"
#include "core/time.hpp"

namespace orlogix {

char igc_name_char(int value) {
    if (value < 0) value = 0;
    if (value > 35) value = 35;
    return static_cast<char>(value <= 9 ? '0' + value : 55 + value);
}

std::string igc_long_file_name(uint32_t first_fix_time, std::string_view maker, std::string_view serial, int flight) {
    const CalendarTime d = calendar_from_time(first_fix_time);
    return strformat("%d-%02d-%02d-%.*s-%.*s-%02d.igc", d.year, d.month, d.day, static_cast<int>(maker.size()),
                     maker.data(), static_cast<int>(serial.size()), serial.data(), flight);
}

std::string igc_short_file_name(uint32_t first_fix_time, std::string_view serial, int flight) {
    const CalendarTime d = calendar_from_time(first_fix_time);
    std::string name;
    name += static_cast<char>('0' + d.year % 10);
    name += igc_name_char(d.month);
    name += igc_name_char(d.day);
    name += 'X';
    name += serial;
    name += igc_name_char(flight);
    name += ".igc";
    return name;
}

std::string igc_file_name(IgcNameForm form, uint32_t first_fix_time, std::string_view maker, std::string_view serial,
                          int flight) {
    switch (form) {
    case IgcNameForm::Long:
        return igc_long_file_name(first_fix_time, maker, serial, flight);
    case IgcNameForm::Short:
        return igc_short_file_name(first_fix_time, serial, flight);
    case IgcNameForm::None:
        break;
    }
    return {};
}

IgcNameForm igc_name_form_from_mask(int64_t mask) {
    if (mask & 2) return IgcNameForm::Long;
    if (mask & 4) return IgcNameForm::Short;
    return IgcNameForm::None;
}

int64_t igc_save_mask(IgcNameForm form) {
    switch (form) {
    case IgcNameForm::Long:
        return 1 | 2;
    case IgcNameForm::Short:
        return 1 | 4;
    case IgcNameForm::None:
        break;
    }
    return 1;
}

}  // namespace orlogix
