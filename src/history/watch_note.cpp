#include "history/watch_note.h"

#include "base/utf8.h"
#include "history/watchlist.h"

namespace jilan::history {

CleanedNote cleanNote(std::string_view typed) {
    CleanedNote out;
    if (!base::isValidUtf8(typed)) {
        out.problem = "备注不是有效的 UTF-8 文字";
        return out;
    }
    std::size_t chars = 0;
    for (std::size_t at = 0; at < typed.size();) {
        const base::Utf8Step step = base::utf8Step(typed, at);
        const char32_t cp = step.codePoint;
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F)) {
            ++out.strippedControls;
        } else {
            out.text.append(typed.substr(at, step.length));
            ++chars;
        }
        at += step.length;
    }
    if (chars > kMaxNoteChars) {
        out.problem = "备注最多 " + std::to_string(kMaxNoteChars) + " 个字符，这条有 " +
                      std::to_string(chars) + " 个";
        out.text.clear();
    }
    return out;
}

}  // namespace jilan::history
