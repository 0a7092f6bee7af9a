// The FS and RACE database readers: pilot elements and their attributes on
// the shared tag walker.
#include <string>
#include <vector>

#include "competition/pilot_list.hpp"
#include "competition/pilot_text.hpp"
#include "core/report.hpp"
#include "formats/xml/escape.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {

namespace {

// Longer raw values carry nothing a name of 80 characters needs.
constexpr std::size_t kRawAttributeMax = 4096;

// The attribute as text: entities decoded, blanks and control characters
// cleaned, a value that is not UTF-8 read as Windows-1252. False when absent.
bool text_attribute(std::string_view attributes, std::string_view name, std::string& out) {
    std::string raw;
    if (xml_attribute(attributes, name, raw, kRawAttributeMax) != 0) return false;
    std::string text = xml_unescape(raw);
    if (!valid_utf8(text)) text = windows1252_to_utf8(text);
    out = clean_pilot_text(text);
    return true;
}

enum class IdRead { Absent, Ok, Bad };

// A number attribute: absent or empty is none; anything but 0..2147483647 is bad.
IdRead id_attribute(std::string_view attributes, std::string_view name, int32_t& value) {
    std::string text;
    if (!text_attribute(attributes, name, text) || text.empty()) return IdRead::Absent;
    return read_pilot_number(text, value) == NumberRead::Ok ? IdRead::Ok : IdRead::Bad;
}

bool has_attribute_text(const XmlToken& tag) {
    return tag.has_attributes && !clean_pilot_text(tag.attributes).empty();
}

class PilotHandler : public XmlHandler {
public:
    std::vector<PilotRecord> pilots;

protected:
    int fail(const char* templ) {
        error = strformat(templ, number_);
        return -1;
    }
    int number_ = 0;  // of the pilot element being read, from 1
};

// FsParticipant elements of the FsParticipants list directly under
// FsCompetition (or a root FsParticipants); the task lists repeat every
// pilot as an id-only element and are passed over.
class FsHandler : public PilotHandler {
public:
    int start_tag(const XmlToken& tag, int depth) override {
        path_.resize(static_cast<std::size_t>(depth - 1));
        path_.emplace_back(tag.name);
        if (reading_) {
            if (depth == pilot_depth_ + 1 && tag.name == "FsCivlPilot" && !civl_given_) {
                int32_t v = -1;
                const IdRead rc = id_attribute(tag.attributes, "id", v);
                if (rc == IdRead::Bad) return fail("Bad CIVL ID for pilot %d in list");
                if (rc == IdRead::Ok) current_.civl_id = v;
            }
            return 0;
        }
        if (tag.name != "FsParticipant" || !in_pilot_list(depth)) return 0;
        ++number_;
        if (!has_attribute_text(tag)) return fail("Missing data for pilot %d in list");
        current_ = PilotRecord{};
        std::string name;
        if (!text_attribute(tag.attributes, "name", name) || name.empty())
            return fail("Missing name for pilot %d in list");
        current_.name = clean_pilot_text(cut_characters(name, kPilotNameMax));
        if (id_attribute(tag.attributes, "id", current_.comp_id) == IdRead::Bad)
            return fail("Bad/missing comp. ID for pilot %d in list");
        const IdRead civl = id_attribute(tag.attributes, "CIVLID", current_.civl_id);
        if (civl == IdRead::Bad) return fail("Bad CIVL ID for pilot %d in list");
        civl_given_ = civl == IdRead::Ok;
        reading_ = true;
        pilot_depth_ = depth;
        return 0;
    }

    int end_tag(std::string_view, const XmlToken&, int depth) override {
        if (reading_ && depth == pilot_depth_) {
            pilots.push_back(current_);
            reading_ = false;
        }
        return 0;
    }

private:
    bool in_pilot_list(int depth) const {
        if (depth < 2 || path_[depth - 2] != "FsParticipants") return false;
        return depth == 2 || path_[depth - 3] == "FsCompetition";
    }

    std::vector<std::string> path_;
    PilotRecord current_;
    bool reading_ = false;
    bool civl_given_ = false;
    int pilot_depth_ = 0;
};

// Every tblPilot element below the root, its data in attributes.
class RaceHandler : public PilotHandler {
public:
    int start_tag(const XmlToken& tag, int) override {
        if (tag.name != "tblPilot") return 0;
        ++number_;
        if (!has_attribute_text(tag)) return fail("Missing data for pilot %d in list");
        PilotRecord p;
        std::string first, last;
        text_attribute(tag.attributes, "pilFirstName", first);
        text_attribute(tag.attributes, "pilLastName", last);
        if (cut_characters(first, kPilotNameMax).size() < first.size())
            return fail("Name too long for pilot %d in list");
        const std::string name = first.empty() || last.empty() ? first + last : first + " " + last;
        if (name.empty()) return fail("Missing name for pilot %d in list");
        p.name = clean_pilot_text(cut_characters(name, kPilotNameMax));
        if (id_attribute(tag.attributes, "pilNumber", p.comp_id) == IdRead::Bad)
            return fail("Bad/missing pilot ID for pilot %d in list");
        if (id_attribute(tag.attributes, "pilIDGlobal", p.civl_id) == IdRead::Bad)
            return fail("Bad/missing CIVL ID for pilot %d in list");
        pilots.push_back(std::move(p));
        return 0;
    }
    int end_tag(std::string_view, const XmlToken&, int) override { return 0; }
};

PilotListDecode walk(std::string_view bytes, PilotHandler& handler) {
    PilotListDecode out;
    std::string error;
    if (xml_walk(bytes, XmlWalkOptions{}, handler, error) != kXmlOk) {
        out.error = error;
        return out;
    }
    out.pilots = std::move(handler.pilots);
    return out;
}

}  // namespace

PilotListDecode decode_fs_pilots(std::string_view bytes) {
    FsHandler handler;
    return walk(bytes, handler);
}

PilotListDecode decode_race_pilots(std::string_view bytes) {
    RaceHandler handler;
    return walk(bytes, handler);
}

}  // namespace orlogix
