#include "formats/kml/reader.hpp"
#include "formats/xml/walker.hpp"

namespace orlogix {

namespace {

class FolderLocator : public XmlHandler {
public:
    std::size_t first_start = 0, last_end = 0;
    bool seen_start = false;
    int folders = 0;

    // Only outermost folders count, so a folder holding folders is kept whole.
    int start_tag(const XmlToken& t, int depth) override {
        if (t.name != "Folder" || folder_depth_ > 0) return 0;
        folder_depth_ = depth;
        if (!seen_start) {
            seen_start = true;
            first_start = t.offset;
        }
        return 0;
    }
    int end_tag(std::string_view name, const XmlToken& t, int depth) override {
        if (name == "Folder" && depth == folder_depth_) {
            last_end = t.end_offset;
            ++folders;
            folder_depth_ = 0;
        }
        return 0;
    }

private:
    int folder_depth_ = 0;  // depth of the open outermost folder, 0 when none
};

}  // namespace

int locate_kml_folders(std::string_view text, std::size_t& begin, std::size_t& end) {
    FolderLocator locator;
    std::string error;
    const int rc = xml_walk(text, XmlWalkOptions{}, locator, error);
    if (rc != kXmlOk) return rc;
    if (locator.folders == 0 || locator.first_start >= locator.last_end) return kKmlNoFolder;
    begin = locator.first_start;
    end = locator.last_end;
    return 0;
}

}  // namespace orlogix
