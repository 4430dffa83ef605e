// gen_completion BASH_FILE ZSH_FILE: writes the shell completion of both programs from their
// option table; run at build time so that the installed completion never falls behind.
#include <fstream>
#include <iostream>
#include <string>

#include "completion_script.h"

namespace {

bool writeFile(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "gen_completion: cannot write " << path << '\n';
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gen_completion BASH_FILE ZSH_FILE\n";
        return 2;
    }
    const bool written = writeFile(argv[1], jilan::cli::bashCompletion()) &&
                         writeFile(argv[2], jilan::cli::zshCompletion());
    return written ? 0 : 1;
}
