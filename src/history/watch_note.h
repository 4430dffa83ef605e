#pragma once

// The note of a watched name as it may be stored: the command line and the window's note pane
// pass what the user typed through the same rules.

#include <cstddef>
#include <string>
#include <string_view>

namespace jilan::history {

struct CleanedNote {
    std::string text;                  // what is stored
    std::size_t strippedControls = 0;  // control characters taken out (tabs and line breaks too)
    std::string problem;               // Chinese; set: the note is refused and `text` is empty
};

// Control characters are stripped (a note is one line in every list); text that is not UTF-8,
// or longer than kMaxNoteChars characters once stripped, is refused naming the limit.
CleanedNote cleanNote(std::string_view typed);

}  // namespace jilan::history
