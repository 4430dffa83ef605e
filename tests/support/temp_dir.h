#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace jilan::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the test is done. No test depends on the working directory.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "jilan-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed for " << pattern;
            return;
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& content) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out << content;
        EXPECT_TRUE(out.good()) << name;
    }
    // The names directly inside, e.g. to see that no temporary file stayed behind.
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            out.insert(entry.path().filename().string());
        }
        return out;
    }

private:
    std::filesystem::path path_;
};

}  // namespace jilan::testing
