#pragma once
// IGC file names from the date of the first fix: the long form
// "2011-07-15-XQV-ABC-01.igc" and the short form "17FXABC1.igc".
#include <cstdint>
#include <string>
#include <string_view>

namespace orlogix {

enum class IgcNameForm { None = 0, Long = 1, Short = 2 };

// One character for 0-35: "0"-"9", then "A" = 10 ... "Z" = 35.
char igc_name_char(int value);

// "%d-%02d-%02d-%s-%s-%02d.igc": date of the fix (UTC), maker code, serial, flight number.
std::string igc_long_file_name(uint32_t first_fix_time, std::string_view maker, std::string_view serial, int flight);
// "%d%c%cX%s%c.igc": last digit of the year, month, day, "X", serial, flight number.
std::string igc_short_file_name(uint32_t first_fix_time, std::string_view serial, int flight);
// The prefilled name of the save dialogs: empty for IgcNameForm::None.
std::string igc_file_name(IgcNameForm form, uint32_t first_fix_time, std::string_view maker, std::string_view serial,
                          int flight);

// The stored name-form choice: bit 0 set on every save, bit 1 long form,
// bit 2 short form.
IgcNameForm igc_name_form_from_mask(int64_t mask);
int64_t igc_save_mask(IgcNameForm form);

}  // namespace orlogix
