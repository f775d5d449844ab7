// The page's files, built into the program from web/page/ (no file is read at run time, no
// CDN, no build tool): the status page, the login form, their style sheet and script.
#pragma once

#include <string_view>

namespace vorn::web {

struct PageAsset {
    std::string_view path; // "/", "/login", "/app.js", "/style.css"
    std::string_view contentType;
    std::string_view body;
};

// The asset served at `path`; null for any other path.
const PageAsset* findPageAsset(std::string_view path);

} // namespace vorn::web
