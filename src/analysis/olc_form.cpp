#include "analysis/olc_form.hpp"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "core/file_names.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"
#include "core/units.hpp"

namespace orlogix {

const std::vector<OlcGliderClass>& olc_glider_classes() {
    static const std::vector<OlcGliderClass> classes{{1, "Flexible wing"},
                                                     {2, "Rigid wing"},
                                                     {3, "Paraglider (open)"},
                                                     {4, "Paraglider (sport)"},
                                                     {5, "Paraglider (tandem)"}};
    return classes;
}

const std::vector<OlcRegion>& olc_regions() {
    static const std::vector<OlcRegion> regions{
        {"", "   Unknown"}, {"AF", "AF Africa"}, {"AR", "AR Argentina"}, {"AT", "AT Austria / Osterreich"},
        {"AU", "AU Australia"}, {"BE", "BE Belgium"}, {"BG", "BG Bulgaria"}, {"BR", "BR Brazil"},
        {"CA", "CA Canada"}, {"CH", "CH Switzerland / Schweiz"}, {"CZ", "CZ Czech Republic"},
        {"DE", "DE Germany / Deutchland"}, {"DK", "DK Denmark / Danmark"}, {"ES", "ES Spain / Espana"},
        {"FI", "FI Finland / Suomi"}, {"FR", "FR France"}, {"GR", "GR Greece / Ellas or Ellada"},
        {"HR", "HR Croatia / Hrvatska"}, {"HU", "HU Hungary / Magyarorszag"}, {"IS", "IS Iceland / Island"},
        {"IT", "IT Italy / Italia"}, {"JP", "JP Japan"}, {"KR", "KR Korea"},
        {"LT", "LT Lithuania / Lietuvos Respublik"}, {"LU", "LU Luxembourg"}, {"MK", "MK Macedonia / Makedonija"},
        {"MX", "MX Mexico"}, {"NL", "NL Netherlands / Nederland"}, {"NO", "NO Norway / Norge"},
        {"PL", "PL Poland / Polska"}, {"PT", "PT Portugal"}, {"RU", "RU Russian Federation / Russia"},
        {"SE", "SE Sweden / Sverige"}, {"SI", "SI Slovenia / Slovenija"}, {"TR", "TR Turkey / Turkiye"},
        {"UK", "UK United Kingdom"}, {"US", "US USA"}, {"ZA", "ZA South Africa / RSA"}};
    return regions;
}

std::string url_encode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        if (std::isalnum(c) && c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        switch (c) {
        case '!': case '$': case '(': case ')': case '*': case '+': case ',': case '-': case '.': case '_':
            out += static_cast<char>(c);
            break;
        default:
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

namespace {

constexpr const char* kInputTitle = "User information input";

int fail(Reporter& r, const char* text) {
    r.error_box(kInputTitle, text);
    return -1;
}

bool parse_number(const std::string& s, std::size_t& pos, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && pos - start < 4)
        value = value * 10 + (s[pos++] - '0');
    return pos > start;
}

// 1-9, then A, B, C ... for the short IGC name.
char name_digit(int v) { return v < 10 ? static_cast<char>('0' + v) : static_cast<char>('A' + v - 10); }

}  // namespace

int check_olc_entries(Reporter& r, OlcEntries& e, int& flight_number) {
    if (e.first_name.empty()) return fail(r, "Missing first name");
    if (e.first_name.size() > 80) e.first_name.resize(80);
    if (e.last_name.empty()) return fail(r, "Missing last name");
    if (e.birth_date.empty()) return fail(r, "Missing birth date");
    {
        std::size_t pos = 0;
        int d = 0, m = 0, y = 0;
        const std::string& b = e.birth_date;
        const bool ok = parse_number(b, pos, d) && pos < b.size() && b[pos++] == '.' && parse_number(b, pos, m) &&
                        pos < b.size() && b[pos++] == '.' && parse_number(b, pos, y) && pos == b.size() && d >= 1 &&
                        d <= 31 && m >= 1 && m <= 12 && y <= 99;
        if (!ok) return fail(r, "Bad birth date format");
        e.birth_date = strformat("%02d.%02d.%02d", d, m, y);
    }
    if (e.glider_class < 1 || e.glider_class > 5) return fail(r, "Combo box read error");
    if (e.glider_type.empty()) return fail(r, "Missing glider type");
    if (e.start_place.empty()) return fail(r, "Missing start place");
    if (e.flight_number.empty()) return fail(r, "Missing flight number");
    std::size_t pos = 0;
    int n = 0;
    if (!parse_number(e.flight_number, pos, n) || pos != e.flight_number.size()) return fail(r, "Bad flight number input");
    if (n < 1 || n > 35) return fail(r, "Flight number out of range");
    flight_number = n;
    return 0;
}

std::string olc_igc_file_name(const CalendarTime& date, const std::string& maker, const std::string& serial,
                              int flight_number, bool long_form) {
    if (long_form) {
        if (serial.empty()) return strformat("%d-%02d-%02d-XQV-000-%02d", date.year, date.month, date.day, flight_number);
        return strformat("%d-%02d-%02d-%s-%s-%02d", date.year, date.month, date.day,
                         maker.empty() ? "XXX" : maker.c_str(), serial.c_str(), flight_number);
    }
    if (serial.empty())
        return strformat("%d%c%cX000%c", date.year % 10, name_digit(date.month), name_digit(date.day),
                         name_digit(flight_number));
    return strformat("%d%c%cX%s%c", date.year % 10, name_digit(date.month), name_digit(date.day), serial.c_str(),
                     name_digit(flight_number));
}

std::array<OlcFormPoint, 5> olc_form_points(const std::vector<TrackPosition>& positions,
                                            const std::array<uint32_t, 5>& indices) {
    std::array<OlcFormPoint, 5> out{};
    for (std::size_t i = 0; i < 5; ++i) {
        if (indices[i] >= positions.size()) continue;
        const TrackPosition& p = positions[indices[i]];
        out[i] = {p.time, p.latitude, p.longitude};
    }
    return out;
}

std::string olc_form_text(const OlcEntries& e, const std::string& igc_file_name,
                          const std::array<OlcFormPoint, 5>& w, int version_major, int version_minor) {
    TextBuffer t;
    t.append_line("OLCvnolc=" + url_encode(e.first_name));
    t.append_line("&na=" + url_encode(e.last_name));
    t.append_line("&geb=" + url_encode(e.birth_date));
    t.append_line("&gty=" + url_encode(e.glider_type));
    t.append_line("&sta=" + url_encode(e.start_place));
    if (!e.region.empty()) t.append_line("&region=" + url_encode(e.region));
    t.append_line("&gid=" + url_encode(e.call_sign));
    t.appendf("&klasse=%d", e.glider_class);
    t.append_line("&igcfn=" + url_encode(igc_file_name));
    t.append_line("&flugzeug=1");
    t.appendf("&ft=%d", static_cast<int>(w[0].time / 86400 + 142078));
    const uint32_t s0 = w[0].time % 86400;
    t.append_line("&s0=" + url_encode(strformat("%02d:%02d:%02d", s0 / 3600, s0 / 60 % 60, s0 % 60)));
    for (int i = 0; i < 5; ++i) {
        const SemicirclePair mm = semicircles_to_milliminutes(w[i].latitude, w[i].longitude);
        const int32_t lat = mm.latitude < 0 ? -mm.latitude : mm.latitude;
        const int32_t lon = mm.longitude < 0 ? -mm.longitude : mm.longitude;
        t.appendf("&w%dbh=%c&w%dbg=%d&w%dbm=%02d&w%dbmd=%03d&w%dlh=%c&w%dlg=%d&w%dlm=%02d&w%dlmd=%03d", i,
                  mm.latitude < 0 ? 'S' : 'N', i, lat / 60000, i, lat / 1000 % 60, i, lat % 1000, i,
                  mm.longitude < 0 ? 'W' : 'E', i, lon / 60000, i, lon / 1000 % 60, i, lon % 1000);
    }
    // A landing after midnight keeps counting the hours of the take-off day.
    uint32_t s4 = w[4].time % 86400;
    if (s4 <= s0) s4 += 86400;
    t.append_line("&s4=" + url_encode(strformat("%02d:%02d:%02d", s4 / 3600, s4 / 60 % 60, s4 % 60)));
    t.appendf("&software=Orlogix%d%02d", version_major, version_minor);
    return t.take();
}

std::string olc_file_bytes(const std::string& form, const std::string* igc_text) {
    if (igc_text == nullptr) return form;
    return form + "&IGCigcIGC=" + *igc_text;
}

std::string olc_file_name(Reporter& r, const std::string& chosen) {
    std::string name = chosen;
    if (complete_file_name(r, name, ".olc") != 0) return {};
    return name;
}

int write_olc_file(Reporter& r, const std::string& path, const std::string& bytes) {
    if (write_file_atomic(path, bytes) != 0) {
        r.error_box("Save OLC data", "File write error");
        return -1;
    }
    r.notice_box("Save OLC data", "File written");
    return 0;
}

}  // namespace orlogix
