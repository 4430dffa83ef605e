#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "config/urls.h"

namespace jilan::config {
// Readable failure messages.
void PrintTo(const Urls& u, std::ostream* os) {
    *os << "{" << u.market << ", " << u.icp << ", " << u.forum << ", " << u.home << "}";
}
}  // namespace jilan::config

namespace {

namespace config = jilan::config;
using Map = std::map<std::string, std::string>;

config::EnvLookup envFrom(Map vars) {
    return [vars = std::move(vars)](const std::string& name) -> std::optional<std::string> {
        if (auto it = vars.find(name); it != vars.end()) {
            return it->second;
        }
        return std::nullopt;
    };
}

TEST(UrlDefaultsTest, UsableWithoutOptionsOrEnvironment) {
    const config::Urls d = config::defaultUrls();
    for (const std::string* url : {&d.market, &d.icp, &d.forum, &d.home}) {
        SCOPED_TRACE(*url);
        EXPECT_EQ(config::checkBaseUrl(*url), std::nullopt);
        EXPECT_EQ(url->rfind("http://127.0.0.1:" + std::to_string(config::kDefaultSimPort), 0), 0u);
    }
    EXPECT_NE(d.market.back(), '/');
    EXPECT_EQ(d.icp.back(), '/');
    EXPECT_NE(d.forum, d.home);

    for (const config::EnvLookup& env : {config::EnvLookup{}, envFrom({})}) {
        const config::UrlsResult r = config::resolveUrls({}, env);
        EXPECT_EQ(r.urls, d);
        EXPECT_EQ(r.errors, std::vector<std::string>{});
        EXPECT_EQ(r.ok(), true);
    }
}

enum Field { Market, Icp, Forum, Home };

std::string& field(config::Urls& u, Field f) {
    switch (f) {
        case Market:
            return u.market;
        case Icp:
            return u.icp;
        case Forum:
            return u.forum;
        case Home:
            break;
    }
    return u.home;
}

TEST(UrlOverrideTest, OptionBeatsEnvironmentBeatsDefault) {
    struct Case {
        const char* what;
        Field field;
        Map options;
        Map env;
        std::string expected;  // "" = the default
        config::FileUrls file = {};
    } cases[] = {
        {"market from env",
         Market,
         {},
         {{"JILAN_MARKET_URL", "http://env.example:81"}},
         "http://env.example:81"},
        {"market option wins",
         Market,
         {{"market-url", "https://opt.example"}},
         {{"JILAN_MARKET_URL", "http://env.example"}},
         "https://opt.example"},
        {"market trailing slash dropped",
         Market,
         {{"market-url", "http://m.example/"}},
         {},
         "http://m.example"},
        {"market slashes after a path dropped",
         Market,
         {},
         {{"JILAN_MARKET_URL", "http://m.example/base//"}},
         "http://m.example/base"},
        {"icp gets its slash",
         Icp,
         {},
         {{"JILAN_ICP_URL", "http://icp.example/lookup"}},
         "http://icp.example/lookup/"},
        {"icp slash kept single",
         Icp,
         {{"icp-url", "http://icp.example/q/"}},
         {},
         "http://icp.example/q/"},
        {"forum from env",
         Forum,
         {},
         {{"JILAN_FORUM_URL", "https://bbs.example/forum.php"}},
         "https://bbs.example/forum.php"},
        {"forum option wins",
         Forum,
         {{"forum-url", "http://a.example/"}},
         {{"JILAN_FORUM_URL", "http://b.example/"}},
         "http://a.example/"},
        {"home from option",
         Home,
         {{"home-url", "HTTP://Home.Example:8000/x?y=1"}},
         {},
         "HTTP://Home.Example:8000/x?y=1"},
        {"empty env is unset", Home, {}, {{"JILAN_HOME_URL", ""}}, ""},
        {"file beats default",
         Market,
         {},
         {},
         "http://file.example",
         {.market = "http://file.example/"}},
        {"env beats file",
         Market,
         {},
         {{"JILAN_MARKET_URL", "http://env.example"}},
         "http://env.example",
         {.market = "http://file.example"}},
        {"option beats file",
         Home,
         {{"home-url", "http://opt.example/h"}},
         {},
         "http://opt.example/h",
         {.home = "http://file.example/h"}},
        {"file icp gets its slash",
         Icp,
         {},
         {},
         "http://icp.example/q/",
         {.icp = "http://icp.example/q"}},
        {"look-alike variables are not read",
         Market,
         {},
         {{"JILAN_MARKET", "http://x.example"},
          {"MARKET_URL", "http://y.example"},
          {"jilan_market_url", "http://z.example"}},
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const config::UrlsResult r = config::resolveUrls(c.options, envFrom(c.env), c.file);
        EXPECT_EQ(r.errors, std::vector<std::string>{});
        config::Urls expected = config::defaultUrls();
        if (!c.expected.empty()) {
            field(expected, c.field) = c.expected;
        }
        // Only the overridden URL moves.
        config::Urls got = r.urls;
        EXPECT_EQ(field(got, c.field), field(expected, c.field));
        EXPECT_EQ(got, expected);
    }
}

TEST(UrlOverrideTest, InvalidValuesAreRefusedNamingTheirSource) {
    const char* bad[] = {"ftp://files.example/",
                         "javascript:",
                         "http://",
                         "https:///path",
                         "http:// spaces.example",
                         "http://host\r\nX: y",
                         "http://host\tx",
                         "file:///etc/passwd",
                         "http://:8080",
                         "http://user@host.example/",
                         "//host.example",
                         "host.example"};
    struct Source {
        Field field;
        bool viaOption;
        const char* key;
    } sources[] = {{Market, true, "market-url"},
                   {Icp, false, "JILAN_ICP_URL"},
                   {Forum, true, "forum-url"},
                   {Home, false, "JILAN_HOME_URL"}};
    for (const char* value : bad) {
        for (const Source& s : sources) {
            SCOPED_TRACE(std::string(s.key) + " = " + value);
            Map options;
            Map env;
            (s.viaOption ? options : env)[s.key] = value;
            const config::UrlsResult r = config::resolveUrls(options, envFrom(env));
            ASSERT_EQ(r.errors.size(), 1u);
            const std::string source =
                s.viaOption ? std::string("--") + s.key : std::string("环境变量 ") + s.key;
            EXPECT_EQ(r.errors[0].rfind(source + "：网址", 0), 0u) << r.errors[0];
            EXPECT_EQ(r.ok(), false);
            // The message shows the value, but never a raw line break or tab.
            EXPECT_EQ(r.errors[0].find_first_of("\r\n\t"), std::string::npos) << r.errors[0];
            config::Urls got = r.urls;
            config::Urls defaults = config::defaultUrls();
            EXPECT_EQ(field(got, s.field), field(defaults, s.field));
        }
        EXPECT_NE(config::checkBaseUrl(value), std::nullopt) << value;
    }
}

TEST(UrlOverrideTest, EmptyOptionIsRefusedAndEveryBadValueIsReported) {
    const config::UrlsResult empty = config::resolveUrls({{"market-url", ""}}, envFrom({}));
    ASSERT_EQ(empty.errors.size(), 1u);
    EXPECT_EQ(empty.errors[0].rfind("--market-url：", 0), 0u);

    // An invalid option is an error even when the environment holds a good value.
    const config::UrlsResult shadowed = config::resolveUrls(
        {{"forum-url", "ftp://x"}}, envFrom({{"JILAN_FORUM_URL", "http://good.example/"}}));
    ASSERT_EQ(shadowed.errors.size(), 1u);
    EXPECT_EQ(shadowed.errors[0].rfind("--forum-url：", 0), 0u);

    const config::UrlsResult all = config::resolveUrls(
        {{"market-url", "ftp://m"}, {"home-url", "javascript:"}},
        envFrom({{"JILAN_ICP_URL", "file:///x"}, {"JILAN_FORUM_URL", "http://"}}));
    ASSERT_EQ(all.errors.size(), 4u);
    std::vector<std::string> prefixes;
    for (const std::string& e : all.errors) {
        prefixes.push_back(e.substr(0, e.find("：")));
    }
    EXPECT_EQ(prefixes, (std::vector<std::string>{"--market-url", "环境变量 JILAN_ICP_URL",
                                                  "环境变量 JILAN_FORUM_URL", "--home-url"}));
    EXPECT_EQ(all.urls, config::defaultUrls());
}

TEST(UrlEnvironmentTest, ReadsTheProcessEnvironment) {
    const std::string name = "JILAN_APP_TESTS_PROBE_VARIABLE";
    ::unsetenv(name.c_str());
    EXPECT_EQ(config::processEnv(name), std::nullopt);
    ::setenv(name.c_str(), "http://probe.example/", 1);
    EXPECT_EQ(config::processEnv(name), std::optional<std::string>("http://probe.example/"));
    ::unsetenv(name.c_str());
}

}  // namespace
