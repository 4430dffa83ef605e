#include "shell.h"

#include <fstream>
#include <ios>
#include <iterator>
#include <utility>

namespace jilan::app {

Shell::Shell(Form1& form, Platform& platform, config::Urls urls)
    : form_(form), platform_(platform), urls_(std::move(urls)) {}

std::string Shell::skinPath() const {
    return platform_.programFolder() + "/skinh.she";
}

void Shell::Form_Load() {
    form_.clearIcon();
    // The skin is optional: a missing or unreadable file leaves the window as it is.
    std::ifstream in(skinPath(), std::ios::binary);
    if (!in) {
        return;
    }
    std::string sheet;
    try {
        sheet.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        // A read error (a directory by that name, an I/O fault) throws from the stream buffer.
        return;
    }
    if (in.bad()) {
        return;
    }
    platform_.applySkin(sheet);
}

// A launch that fails is not reported: the links are a courtesy.
void Shell::Command2_Click() {
    platform_.openUrl(urls_.forum);
}

void Shell::Command4_Click() {
    platform_.openUrl(urls_.home);
}

void Shell::Command3_Click() {
    form_.requestClose();
}

void Shell::Form_QueryUnload(int& cancel, int /*unloadMode*/) {
    const MessageAnswer answer = platform_.messageBox(
        kExitPrompt, kMessageTitle, MessageButtons::YesNoCancel, MessageIcon::Information);
    if (answer == MessageAnswer::Yes || answer == MessageAnswer::No) {
        bool stay = false;
        form_.leaving.emit(stay);
        if (stay) {
            cancel = 1;
            return;
        }
    }
    if (answer == MessageAnswer::Yes) {
        platform_.openUrl(urls_.forum);
        form_.end();
    } else if (answer == MessageAnswer::No) {
        form_.end();
    } else {
        cancel = 1;
    }
}

}  // namespace jilan::app
