#include "formats/airspace/ctr_list.hpp"

#include <algorithm>
#include <iterator>

#include "core/report.hpp"

namespace orlogix {

int select_ctrs(Reporter& r, CtrList& list, const std::vector<std::size_t>& rows) {
    for (Ctr& c : list) c.selected = false;
    for (std::size_t row : rows) {
        if (row >= list.size()) {
            r.error_box("CTR list action", "Program error");
            return -1;
        }
        list[row].selected = true;
    }
    return 0;
}

std::size_t selected_count(const CtrList& list) {
    return static_cast<std::size_t>(std::count_if(list.begin(), list.end(), [](const Ctr& c) { return c.selected; }));
}

std::size_t delete_selected_ctrs(CtrList& list) {
    const std::size_t before = list.size();
    std::erase_if(list, [](const Ctr& c) { return c.selected; });
    return before - list.size();
}

void prepend_ctrs(CtrList& list, CtrList&& fresh) {
    fresh.insert(fresh.end(), std::make_move_iterator(list.begin()), std::make_move_iterator(list.end()));
    list = std::move(fresh);
}

double ctr_height_metres(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    const auto digit = [&](std::size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    while (i < n && text[i] == ' ') ++i;
    if (!digit(i)) return 0.0;
    double value = 0.0;
    while (digit(i)) value = value * 10 + (text[i++] - '0');
    if (i < n && (text[i] == '.' || text[i] == ',')) {
        ++i;
        double scale = 0.1;
        while (digit(i)) {
            value += (text[i++] - '0') * scale;
            scale *= 0.1;
        }
    }
    while (i < n && text[i] == ' ') ++i;
    // A unit counts only as a whole word: "450m" and "450m GND" but not "450mb".
    const auto word_ends = [&](std::size_t k) { return k >= n || text[k] == ' '; };
    if (i < n && (text[i] == 'm' || text[i] == 'M')) return word_ends(i + 1) ? value : 0.0;
    if (i + 1 < n && ((text[i] == 'f' && text[i + 1] == 't') || (text[i] == 'F' && text[i + 1] == 'T')))
        return word_ends(i + 2) ? value * 0.3048 : 0.0;
    return value;
}

}  // namespace orlogix
