#include "protocols/flytec/models.hpp"

#include <cctype>

#include "protocols/flytec/fields.hpp"
#include "protocols/flytec/sentences.hpp"

namespace orlogix::flytec {

namespace {

std::string field_text(std::string_view field, std::size_t max) { return collapse_blanks(field.substr(0, max)); }

bool is_one_of(std::string_view model, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names)
        if (model == n) return true;
    return false;
}

}  // namespace

ProductReply parse_product_reply(std::string_view line, ProductInfo& out) {
    std::vector<std::string_view> f;
    if (check_sentence(line, 5, f) != 5 || f[0] != "$PBRSNP") return ProductReply::NotProduct;
    ProductInfo p;
    p.model = field_text(f[1], 16);
    for (char& c : p.model) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    p.pilot = field_text(f[2], 40);
    p.serial = field_text(f[3], 7);
    p.version = field_text(f[4], 6);
    if (p.pilot.empty()) return ProductReply::NoPilot;
    out = std::move(p);
    return ProductReply::Taken;
}

std::string product_name(std::string_view model) {
    struct Row {
        std::string_view text, name;
    };
    // Order matters: "COMPEO+" before "COMPEO", "COMPETINO+" before "COMPETINO".
    static constexpr Row kModels[] = {
        {"5020", "5020"},           {"5030", "5030"},         {"6020", "6020"},
        {"6030", "6030"},           {"COMPEO+", "Compeo+"},   {"COMPEO", "Compeo"},
        {"COMPETINO+", "Competino+"}, {"COMPETINO", "Competino"}, {"GALILEO", "Galileo"},
    };
    for (const Row& r : kModels)
        if (model.find(r.text) != std::string_view::npos) return std::string(r.name);
    return "Unknown";
}

bool supports_track_list(std::string_view model, std::string_view version) {
    if (is_one_of(model, {"COMPEO+", "6030", "COMPETINO+", "6020"})) return true;
    if (is_one_of(model, {"COMPETINO", "5020"})) return version > std::string_view("1.13");
    if (is_one_of(model, {"COMPEO", "5030", "GALILEO"})) return version > std::string_view("2.19");
    return false;
}

std::string instrument_description(const ProductInfo& p) {
    return (p.model + ' ' + p.serial + ' ' + p.version).substr(0, 80);
}

std::string device_identity(const ProductInfo& p) { return (product_name(p.model) + ": " + p.serial).substr(0, 50); }

}  // namespace orlogix::flytec
