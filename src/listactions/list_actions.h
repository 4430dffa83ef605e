#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/form1.h"
#include "app/platform.h"

namespace jilan::listactions {

struct WriteOutcome {
    bool ok = false;
    std::string error;  // why it failed, for the message box
};

// Writes every entry followed by CR LF, UTF-8 without a byte-order mark, through the
// durable writer (io::FileWriter: atomic where the target allows it, in place otherwise,
// standard output for "-"). A control character inside an entry (CR, LF, tab, ...) is
// written as a space, so each entry stays one line. `error` is the file and the reason.
WriteOutcome writeList(const std::string& path, const std::vector<std::string>& entries);

// The entry as one line of an export: control characters become spaces.
std::string exportLine(std::string_view entry);

// The list's popup menu, copy, book, and the export button.
class ListActions {
public:
    ListActions(app::Form1& form, app::Platform& platform, std::string marketBase);

    void List1_MouseDown(int button, int shift, int x, int y);
    void fz_Click();
    void ydym_Click();
    void Command5_Click();

private:
    app::Form1& form_;
    app::Platform& platform_;
    std::string marketBase_;
};

}  // namespace jilan::listactions
