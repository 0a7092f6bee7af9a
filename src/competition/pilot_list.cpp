#include "competition/pilot_list.hpp"

#include <cerrno>

#include "competition/pilot_text.hpp"
#include "core/file_names.hpp"
#include "core/file_read.hpp"
#include "core/overwrite.hpp"
#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "formats/xml/tokenizer.hpp"

namespace orlogix {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

enum class ListKind { Csv, Fs, Race };

// The first element that is not a declaration, comment or CDATA.
std::string_view root_name(std::string_view text) {
    XmlTokenizer tokens(text);
    for (;;) {
        const XmlToken t = tokens.next();
        if (t.kind != XmlTokenKind::Tag && t.kind != XmlTokenKind::EmptyElement) return {};
        if (!t.name.starts_with("?") && !t.name.starts_with("!")) return t.name;
    }
}

// The kind by the first tag, or the message refusing the file.
ListKind list_kind(std::string_view text, std::string& error) {
    XmlTokenizer tokens(text);
    const XmlToken first = tokens.next();
    if (first.kind == XmlTokenKind::EndOfText) return ListKind::Csv;
    ListKind kind;
    std::string_view shown = "?xml";
    if (first.name == "?xml") {
        kind = root_name(text) == "RACE" ? ListKind::Race : ListKind::Fs;
    } else if (first.name == "RACE") {
        kind = ListKind::Race;
        shown = "RACE";
    } else if (first.name == "Fs") {
        kind = ListKind::Fs;
    } else {
        // Text with a "<" somewhere in a name is still a comma-separated list.
        if (first.has_data) return ListKind::Csv;
        error = "Missing opening tag '<?xml>'";
        return ListKind::Csv;
    }
    if (first.has_data) error = "Unknown BOM before opening tag '<" + std::string(shown) + ">'";
    return kind;
}

std::string lower_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace

PilotListDecode decode_pilot_list(std::string_view bytes) {
    std::string_view text = bytes;
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    std::string error;
    const ListKind kind = list_kind(text, error);
    PilotListDecode out;
    if (!error.empty()) {
        out.error = std::move(error);
        return out;
    }
    switch (kind) {
    case ListKind::Csv: out = decode_csv_pilots(bytes); break;
    case ListKind::Fs: out = decode_fs_pilots(text); break;
    case ListKind::Race: out = decode_race_pilots(text); break;
    }
    if (out.ok() && out.pilots.empty()) out.error = "No pilots found";
    if (!out.ok()) out.pilots.clear();
    return out;
}

int read_pilot_list(Reporter& r, std::string& path, PilotList& list, PilotListOrigin origin) {
    std::string completed = path;
    if (complete_file_name(r, completed, ".fsdb", kFileNameMax - 1) != 0)
        return -1;
    const FileReadTitles titles{.open = "Error opening database file",
                                .size = "Database file read error",
                                .not_regular = "Error opening database file",
                                .empty = kPilotListReadTitle,
                                .memory = "File buffer memory allocation",
                                .read = "Database file read error",
                                .empty_text = "Database file is empty"};
    std::string bytes;
    if (read_whole_file(r, completed, titles, bytes) != 0) return -1;
    PilotListDecode decoded = decode_pilot_list(bytes);
    if (!decoded.ok()) {
        r.error_box(kPilotListDecodeTitle, decoded.error);
        return -1;
    }
    if (origin == PilotListOrigin::Dialog && !list.empty() &&
        r.yes_no_box(kPilotListDecodeTitle, "Current list will be overwritten, continue ?") != kBoxYes)
        return -1;
    list.pilots = std::move(decoded.pilots);
    path = completed;
    return 0;
}

int write_pilot_list(Reporter& r, const std::string& path, const PilotList& list) {
    if (list.empty()) {
        r.error_box(kPilotListSaveTitle, "No pilot list stored");
        return -1;
    }
    const std::string text = encode_pilot_list_csv(list.pilots);
    if (write_file_new(path, text) == 0) return 1;
    bool replace = errno == EEXIST;
    if (replace) {
        if (!ask_overwrite(r, OverwriteBox::OkCancel)) return 0;
        if (write_file_new(path, text, true) == 0) return 1;
    }
    const int e = errno;
    system_error_box(r, e == ENOSPC || e == EIO || e == EDQUOT ? "File write error" : "Error opening file", e);
    return -1;
}

bool add_device_to_pilot(PilotList& list, int chosen, const PilotRecord& pilot, std::string_view serial) {
    if (serial.empty()) return false;
    PilotRecord* target = nullptr;
    if (chosen >= 0 && static_cast<std::size_t>(chosen) < list.size()) {
        target = &list.pilots[static_cast<std::size_t>(chosen)];
    } else {
        for (PilotRecord& p : list.pilots) {
            if (p.name == pilot.name && p.comp_id == pilot.comp_id && p.civl_id == pilot.civl_id) {
                target = &p;
                break;
            }
        }
    }
    if (target == nullptr) return false;
    const std::string device = cut_bytes(serial, kPilotDeviceMax);
    const std::string key = lower_ascii(device);
    for (const std::string& d : target->devices)
        if (!d.empty() && lower_ascii(d) == key) return false;
    for (std::string& d : target->devices) {
        if (d.empty()) {
            d = device;
            return true;
        }
    }
    return false;
}

}  // namespace orlogix
