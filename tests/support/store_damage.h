// Damage as a failing disk or a stray write leaves it: garbage over the interior pages of a
// real SQLite store file (the pages every look-up and walk of a tree goes through), the
// header and the schema page left as they are, so the file still opens.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace jilan::testing {

// Returns how many pages were overwritten (0: the store has no interior page, or is no file).
// The store must be closed, its WAL checkpointed away.
inline int garbleInteriorPages(const std::string& path) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char header[100] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header)) {
        return 0;
    }
    std::uint32_t pageSize = (header[16] << 8) | header[17];
    if (pageSize == 1) {
        pageSize = 65536;
    }
    file.seekg(0, std::ios::end);
    const auto pages = static_cast<std::uint32_t>(file.tellg() / pageSize);
    int garbled = 0;
    for (std::uint32_t page = 2; page <= pages; ++page) {
        const std::streamoff at = static_cast<std::streamoff>(page - 1) * pageSize;
        char type = 0;
        file.seekg(at);
        file.read(&type, 1);
        if (type == 0x02 || type == 0x05) {  // interior index / table b-tree page
            const std::vector<char> garbage(pageSize, static_cast<char>(0xA7));
            file.seekp(at);
            file.write(garbage.data(), pageSize);
            ++garbled;
        }
    }
    return file.good() ? garbled : 0;
}

}  // namespace jilan::testing
