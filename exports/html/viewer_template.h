#pragma once
// The balloon viewer's own page, script and style sheet (exports/html/viewer.*), compiled into
// the program by embed_text.cmake.

#include <string_view>

namespace vantrel {

extern const std::string_view kViewerPage;   // viewer.html, with the markers html_export fills
extern const std::string_view kViewerScript; // viewer.js
extern const std::string_view kViewerStyle;  // viewer.css

} // namespace vantrel
