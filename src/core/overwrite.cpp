#include "core/overwrite.hpp"

#include <filesystem>
#include <system_error>

#include "core/report.hpp"

namespace orlogix {

bool ask_overwrite(Reporter& r, OverwriteBox box) {
    constexpr const char* kTitle = "File creation";
    constexpr const char* kText = "File already exists, overwrite ?";
    if (box == OverwriteBox::YesNo) return r.yes_no_box(kTitle, kText) == kBoxYes;
    return r.question_box(kTitle, kText) == kBoxOk;
}

bool may_replace(Reporter& r, const std::string& path, OverwriteBox box) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    return ask_overwrite(r, box);
}

}  // namespace orlogix
