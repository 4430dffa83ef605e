#pragma once

#include <string>
#include <vector>

#include "app/form1.h"
#include "app/platform.h"

namespace jilan::listactions {

struct WriteOutcome {
    bool ok = false;
    std::string error;  // why it failed, for the message box
};

// Writes every entry followed by CR LF, UTF-8 without a byte-order mark, to a
// temporary file beside `path`, and renames it over `path` only after every
// byte was written and flushed. On failure the old file is untouched.
WriteOutcome writeListAtomically(const std::string& path, const std::vector<std::string>& entries);

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
