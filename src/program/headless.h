#pragma once

#include <iosfwd>
#include <string>

#include "config/urls.h"
#include "harvest/harvester.h"
#include "net/fetch_result.h"

namespace jilan::program {

struct HeadlessOptions {
    config::Urls urls = config::defaultUrls();
    harvest::HarvestOptions harvest;
    net::HttpLimits limits;
};

// Runs what pressing "开始采集" with `pages` in the page box runs, without a
// window, printing each status text to `err`; then writes the list to `output`
// as the export does. 0 when the harvest ran (failed pages are reported on
// `err`), 2 for a bad page number, 1 when the output cannot be written.
int runHeadlessHarvest(const std::string& pages, const std::string& output,
                       const HeadlessOptions& options, std::ostream& err);

// Runs the double-click query on `domain` and prints the captions of Label1,
// Label2, Label13, Label12, Label8..Label11 and then the whois text, one per
// line, to `out`; status texts go to `err`.
int runHeadlessQuery(const std::string& domain, const HeadlessOptions& options, std::ostream& out,
                     std::ostream& err);

}  // namespace jilan::program
