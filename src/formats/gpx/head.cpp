#include "formats/gpx/head.hpp"

#include "core/report.hpp"
#include "core/text_buffer.hpp"
#include "core/time.hpp"

namespace orlogix {

void gpx_line(TextBuffer& b, std::string_view text) {
    b.append_line(text);
    b.append_line("\r\n");
}

void append_gpx_head(TextBuffer& b, uint32_t now, int program_version, bool garmin_extensions) {
    const CalendarTime c = calendar_from_time(now);
    gpx_line(b, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    gpx_line(b, "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"");
    gpx_line(b, strformat("     creator=\"Orlogix %d.%02d\"", program_version / 100, program_version % 100));
    gpx_line(b, "     version=\"1.1\"");
    if (garmin_extensions) gpx_line(b, "     xmlns:gpxx=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\"");
    gpx_line(b, "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"");
    gpx_line(b, "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
                "http://www.topografix.com/GPX/1/1/gpx.xsd\">");
    gpx_line(b, "  <metadata>");
    gpx_line(b, "    <link href=\"https://orlogix.org/\">");
    gpx_line(b, "      <text>Orlogix, flights for your online logbook</text>");
    gpx_line(b, "    </link>");
    gpx_line(b, strformat("    <time>%d-%02d-%02dT%02d:%02d:%02dZ</time>", c.year, c.month, c.day, c.hour, c.minute,
                          c.second));
}

}  // namespace orlogix
