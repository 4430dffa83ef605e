// The detail parse on arbitrary page text in slot 4: the three labelled values, the whois
// block, the "booking is over" case and the price table.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/form1.h"
#include "base/utf8.h"
#include "fuzz_check.h"
#include "query/query_commands.h"

namespace app = jilan::app;
using jilan::fuzz::check;

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view page = jilan::fuzz::asText(data, size);
    // One window for the whole run (building one costs more than the parse); a query starts
    // from a cleared work array, and the parse writes every control it reads back.
    static app::Form1 form;
    form.sj.clear();
    form.sj[app::Slot::DetailPage] = std::string(page);
    jilan::query::parseDetail(form);

    check(form.sj[app::Slot::DetailPage] == page, "the parse leaves the page text alone");
    check(startsWith(form.Label1.caption(), "删除类型："), "Label1 keeps its label");
    check(startsWith(form.Label2.caption(), "删除时间："), "Label2 keeps its label");
    check(startsWith(form.Label13.caption(), "预定截止："), "Label13 keeps its label");
    for (const app::Slot slot :
         {app::Slot::DeleteType, app::Slot::DeleteTime, app::Slot::Deadline, app::Slot::Whois}) {
        const std::string& value = form.sj[slot];
        check(value.find('<') == std::string::npos, "a marker value holds no '<'");
        check(value.empty() || (value.front() != ' ' && value.back() != ' '),
              "a marker value is trimmed");
    }

    // Decoded pages are always valid UTF-8; what the window shows must stay valid too.
    if (jilan::base::isValidUtf8(page)) {
        for (const app::Label* label : {&form.Label1, &form.Label2, &form.Label13, &form.Label8,
                                        &form.Label9, &form.Label10, &form.Label11}) {
            check(jilan::base::isValidUtf8(label->caption()), "captions stay valid UTF-8");
        }
        check(jilan::base::isValidUtf8(form.Text2.text()), "the whois text stays valid UTF-8");
    }
    return 0;
}
