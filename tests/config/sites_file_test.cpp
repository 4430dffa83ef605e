#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <variant>

#include "config/sites_file.h"
#include "temp_dir.h"

namespace {

namespace config = jilan::config;

TEST(SitesFileTest, GivesTheSitesItNamesAndKeepsTheRest) {
    const auto read = config::parseSitesFile(
        "# the real sites\n[sites]\nmarket = \"https://m.example\"\nicp = 'http://i.example/q/'\n",
        "config.toml");
    ASSERT_TRUE(std::holds_alternative<config::FileUrls>(read)) << std::get<std::string>(read);
    const config::FileUrls& urls = std::get<config::FileUrls>(read);
    EXPECT_EQ(urls.market, std::optional<std::string>("https://m.example"));
    EXPECT_EQ(urls.icp, std::optional<std::string>("http://i.example/q/"));
    EXPECT_EQ(urls.forum, std::nullopt);
    EXPECT_EQ(urls.home, std::nullopt);

    const auto empty = config::parseSitesFile("", "config.toml");
    ASSERT_TRUE(std::holds_alternative<config::FileUrls>(empty));
    EXPECT_EQ(std::get<config::FileUrls>(empty).market, std::nullopt);
}

TEST(SitesFileTest, AProblemNamesFileLineAndKey) {
    const struct Case {
        const char* rule;
        const char* text;
        const char* expected;  // the message starts so
    } cases[] = {
        {"url checked like an option", "[sites]\n\nmarket = \"ftp://m.example\"\n",
         "配置文件有误：/c/config.toml 第3行 sites.market：网址必须以 http:// 或 https:// 开头"},
        {"unknown key", "[sites]\nmarkt = \"http://m.example\"\n",
         "配置文件有误：/c/config.toml 第2行 sites.markt：未知的键"},
        {"unknown section", "[site]\nmarket = \"http://m.example\"\n",
         "配置文件有误：/c/config.toml 第1行 site：未知的节"},
        {"not a string", "[sites]\nhome = 8080\n",
         "配置文件有误：/c/config.toml 第2行 sites.home：需要带引号的网址"},
        {"sites not a table", "sites = \"http://m.example\"\n",
         "配置文件有误：/c/config.toml 第1行 sites：需要一节 [sites]"},
        {"broken TOML", "[sites]\nforum = \"http://f.example\n",
         "配置文件有误：/c/config.toml 第2行：TOML 格式错误"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        const auto read = config::parseSitesFile(c.text, "/c/config.toml");
        ASSERT_TRUE(std::holds_alternative<std::string>(read));
        const std::string& message = std::get<std::string>(read);
        EXPECT_EQ(message.rfind(c.expected, 0), 0u) << message;
    }
}

TEST(SitesFileTest, FoundInTheConfigurationFolderAndMissingIsNoProblem) {
    const auto env = [](const std::string& name) -> std::optional<std::string> {
        if (name == "HOME") {
            return "/home/u";
        }
        return std::nullopt;
    };
    EXPECT_EQ(config::defaultSitesFilePath(env), "/home/u/.config/jilan-harvester/config.toml");

    const jilan::testing::TempDir dir;
    const std::string path = dir.file("config.toml");
    const auto missing = config::readSitesFile(path);
    EXPECT_TRUE(std::holds_alternative<config::FileUrls>(missing));
    dir.write("config.toml", "[sites]\nforum = \"http://f.example/x\"\n");
    const auto read = config::readSitesFile(path);
    ASSERT_TRUE(std::holds_alternative<config::FileUrls>(read));
    EXPECT_EQ(std::get<config::FileUrls>(read).forum,
              std::optional<std::string>("http://f.example/x"));
    EXPECT_TRUE(std::holds_alternative<std::string>(config::readSitesFile(dir.path().string())));
}

}  // namespace

// The shipped example parses as it is, and again with every site line uncommented.
TEST(SitesFileTest, TheShippedExampleWorksOnceUncommented) {
    std::ifstream in(std::string(JILAN_SOURCE_DIR) + "/packaging/config.toml.example");
    ASSERT_TRUE(in.good());
    std::string asShipped, uncommented, line;
    while (std::getline(in, line)) {
        asShipped += line + "\n";
        const bool site = line.starts_with("# ") && line.find(" = \"") != std::string::npos;
        uncommented += (site ? line.substr(2) : line) + "\n";
    }
    EXPECT_TRUE(std::holds_alternative<config::FileUrls>(
        config::parseSitesFile(asShipped, "config.toml.example")));
    const auto read = config::parseSitesFile(uncommented, "config.toml.example");
    ASSERT_TRUE(std::holds_alternative<config::FileUrls>(read)) << std::get<std::string>(read);
    const config::FileUrls& urls = std::get<config::FileUrls>(read);
    for (const auto* url : {&urls.market, &urls.icp, &urls.forum, &urls.home}) {
        EXPECT_NE(*url, std::nullopt);
    }
}
