#pragma once

// The desktop notification a window harvest ends with when the window is not in front: the user
// who went elsewhere while it ran learns that it is over, and how it went.

#include <string>

namespace jilan::program {

struct HarvestNotice {
    std::string title;
    std::string body;
};

// "采集完成：共 N 个域名" (", M 页失败" when some pages failed), or "采集失败" when every page
// failed. `entries` counts the names the run appended to the list.
HarvestNotice harvestNotice(int entries, int pagesRequested, int pagesFailed);

}  // namespace jilan::program
