#include "competition/pilot_choice.hpp"

#include "competition/pilot_text.hpp"
#include "core/report.hpp"

namespace orlogix {

namespace {

constexpr const char* kParameterTitle = "Pilot parameter check";
constexpr const char* kCheckIdTitle = "Check ID";

bool valid_index(const PilotList& list, int i) { return i >= 0 && static_cast<std::size_t>(i) < list.size(); }

// A typed number: empty is -1; only 0..2147483647 counts as a number.
bool field_number(std::string_view field, int64_t& value) {
    int32_t v = -1;
    switch (read_pilot_number(field, v)) {
    case NumberRead::Absent: value = -1; return true;
    case NumberRead::Ok: value = v; return true;
    default: return false;
    }
}

int find_entry(const PilotList& list, bool civl, int64_t n) {
    if (n < 0) return -1;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const PilotRecord& p = list.pilots[i];
        if ((civl ? p.civl_id : p.comp_id) == n) return static_cast<int>(i);
    }
    return -1;
}

bool same_pilot(const PilotRecord& p, const CurrentPilot& c) {
    return p.name == c.name && p.comp_id == c.ids.comp_id && p.civl_id == c.ids.civl_id;
}

}  // namespace

std::string pilot_entry_text(const PilotRecord& p) {
    if (p.comp_id >= 0 && p.civl_id >= 0) return strformat("%s (comp. %d, CIVL %d)", p.name.c_str(), p.comp_id, p.civl_id);
    if (p.civl_id >= 0) return strformat("%s (CIVL %d)", p.name.c_str(), p.civl_id);
    if (p.comp_id >= 0) return strformat("%s (comp. %d)", p.name.c_str(), p.comp_id);
    return p.name;
}

std::vector<std::string> pilot_entry_texts(const PilotList& list) {
    std::vector<std::string> out;
    out.reserve(list.size());
    for (const PilotRecord& p : list.pilots) out.push_back(pilot_entry_text(p));
    return out;
}

PilotFields entry_fields(const PilotList& list, int index) {
    if (!valid_index(list, index)) return {};
    const PilotRecord& p = list.pilots[static_cast<std::size_t>(index)];
    return {index, pilot_number_text(p.comp_id), pilot_number_text(p.civl_id), p.name};
}

PilotFields opening_fields(const PilotList& list, const CurrentPilot& current) {
    const PilotFields numbers{-1, pilot_number_text(current.ids.comp_id), pilot_number_text(current.ids.civl_id),
                              current.name};
    if (list.empty()) return numbers;
    int i = find_entry(list, true, current.ids.civl_id);
    if (i < 0) i = find_entry(list, false, current.ids.comp_id);
    if (i >= 0) return entry_fields(list, i);
    PilotFields f = numbers;
    f.selected = 0;
    f.name.clear();
    return f;
}

PilotFields edited_fields(const PilotList& list, const PilotFields& shown, bool civl) {
    int64_t n = -1;
    const std::string& typed = civl ? shown.civl_id : shown.comp_id;
    const int i = field_number(typed, n) ? find_entry(list, civl, n) : -1;
    if (i >= 0) {
        PilotFields f = entry_fields(list, i);
        (civl ? f.civl_id : f.comp_id) = typed;
        return f;
    }
    PilotFields f = shown;
    (civl ? f.comp_id : f.civl_id).clear();
    f.name.clear();
    return f;
}

int accept_identification(Reporter& r, const PilotList& list, const PilotFields& shown, Identification& out) {
    Identification id;
    if (!field_number(shown.comp_id, id.pilot.ids.comp_id)) {
        r.error_box(kParameterTitle, "Bad comp. pilot ID");
        return -1;
    }
    if (!field_number(shown.civl_id, id.pilot.ids.civl_id)) {
        r.error_box(kParameterTitle, "Bad CIVL pilot ID");
        return -1;
    }
    id.pilot.name = cut_characters(clean_pilot_text(shown.name), kPilotNameMax);
    if (valid_index(list, shown.selected) && same_pilot(list.pilots[static_cast<std::size_t>(shown.selected)], id.pilot)) {
        id.entry = shown.selected;
    } else {
        for (std::size_t i = 0; i < list.size() && id.entry < 0; ++i)
            if (same_pilot(list.pilots[i], id.pilot)) id.entry = static_cast<int>(i);
    }
    r.notify(strformat("Pilot [%lld] ", static_cast<long long>(id.pilot.ids.comp_id)) + id.pilot.name);
    out = std::move(id);
    return 0;
}

std::string select_pilot_label(const PilotList& list) {
    if (list.empty()) return "&Select pilot from list";
    return strformat("&Select pilot from list (%zu pilots)", list.size());
}

int accept_selected_pilot(Reporter& r, PilotList& list, int selected, std::string_view comp_field,
                          std::string_view civl_field, CurrentPilot& current) {
    if (!list.empty() && !valid_index(list, selected)) {
        r.error_box(kCheckIdTitle, "Dialog box error");
        return -1;
    }
    int64_t comp = -1, civl = -1;
    if (!field_number(comp_field, comp)) {
        r.error_box(kCheckIdTitle, "Bad comp. ID");
        return -1;
    }
    if (!field_number(civl_field, civl)) {
        r.error_box(kCheckIdTitle, "Bad CIVL ID");
        return -1;
    }
    if (comp < 0 && civl < 0 && r.yes_no_box(kCheckIdTitle, "Both IDs missing, continue ?") != kBoxYes) return -1;
    if (list.empty()) {
        current.ids = PilotIds{comp, civl};
        return 0;
    }
    PilotRecord& p = list.pilots[static_cast<std::size_t>(selected)];
    if (comp >= 0) p.comp_id = static_cast<int32_t>(comp);
    if (civl >= 0) p.civl_id = static_cast<int32_t>(civl);
    current.name = p.name;
    current.ids = PilotIds{p.comp_id, p.civl_id};
    return 0;
}

}  // namespace orlogix
