// The whole program against a marketplace that misbehaves on purpose: every fault mode of the
// simulator, over real loopback HTTP, through a single-page harvest, a three-page batch with
// the fault on page 2, and the two query commands with the fault on one of their two routes.
//
// Every run must end within what HttpLimits allows, say so when it failed, keep what did
// arrive in page order, stay within a bounded amount of memory, and never put harvested text
// raw into a request or a URL handed to the browser.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "market_sim.h"
#include "program/application.h"
#include "recording_platform.h"

namespace jilan::testing {
namespace {

using Clock = std::chrono::steady_clock;
using sim::Fault;

// Short enough that a case waiting for a time-out ends in about a second, long enough that a
// good page still arrives on a loaded machine under a sanitizer.
net::HttpLimits hostileLimits() {
    net::HttpLimits limits;
    limits.connectTimeoutMs = 1'000;
    limits.totalTimeoutMs = 1'500;
    limits.lowSpeedBytes = 1;
    limits.lowSpeedSeconds = 1;
    limits.maxRedirects = 5;
    limits.maxBodyBytes = std::size_t{2} * 1024 * 1024;
    return limits;
}

harvest::HarvestOptions hostileHarvest() {
    harvest::HarvestOptions options;
    options.parallel = 4;
    options.retries = 1;
    options.retryPauseMs = 10;
    return options;
}

// Slack on top of what the limits allow: start-up, the good pages, a busy machine.
constexpr auto kSlack = std::chrono::seconds(5);
constexpr long kMemoryBoundKiB = 64 * 1024;

struct HostileCase {
    const char* name;
    Fault fault;         // served on the faulted route
    bool refused;        // the faulted route points at a port nobody listens on
    std::string reason;  // what a failed fetch is called on the status line; "" = it works
    bool watchMemory;
    bool hostileRows;
};

// The outcome the user sees, by case. A failing fetch names its reason; invalid bytes and a
// missing charset are decoded, and hostile rows are harvested as they are.
const HostileCase kCases[] = {
    {"connection_refused", Fault::None, true, "无法连接服务器", false, false},
    {"status_404", Fault::Status404, false, "服务器返回 404", false, false},
    {"status_500", Fault::Status500, false, "服务器返回 500", false, false},
    {"drop_before_body", Fault::DropBeforeBody, false, "连接中断", false, false},
    {"drop_mid_body", Fault::DropMidBody, false, "连接中断", false, false},
    {"never_answers", Fault::NeverAnswer, false, "响应超时", false, false},
    {"trickle_one_byte_a_second", Fault::Trickle, false, "响应超时", false, false},
    {"endless_body", Fault::EndlessBody, false, "页面过大", true, false},
    {"body_over_the_cap", Fault::OversizedBody, false, "页面过大", true, false},
    {"gzip_bomb", Fault::GzipBomb, false, "页面过大", true, false},
    {"redirect_loop", Fault::RedirectLoop, false, "重定向过多", false, false},
    {"redirect_to_file", Fault::RedirectToFile, false, "重定向到不支持的地址", false, false},
    {"invalid_gbk_bytes", Fault::InvalidGbk, false, "", false, false},
    {"no_charset", Fault::NoCharset, false, "", false, false},
    {"hostile_listing_rows", Fault::None, false, "", false, true},
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

bool fails(const HostileCase& c) {
    return !c.reason.empty();
}

// ---- memory ---------------------------------------------------------------------------------

std::optional<long> statusFieldKiB(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stol(line.substr(field.size() + 1));
        }
    }
    return std::nullopt;
}

// Peak memory of one run: the high-water mark is reset first where the kernel allows it, so
// the peak is the run's own; otherwise the resident size after the run is all there is.
class MemoryWatch {
public:
    MemoryWatch() {
        std::ofstream clear("/proc/self/clear_refs");
        clear << "5";
        clear.flush();
        peakReset_ = static_cast<bool>(clear);
        before_ = statusFieldKiB("VmRSS").value_or(0);
    }
    long growthKiB() const {
        const long after = statusFieldKiB(peakReset_ ? "VmHWM" : "VmRSS").value_or(0);
        return after - before_;
    }

private:
    long before_ = 0;
    bool peakReset_ = false;
};

// ---- what may go on the wire ------------------------------------------------------------------

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Only unreserved bytes, the URL's own delimiters and well-formed percent escapes: no raw CR,
// LF, space, quote or shell metacharacter.
bool onlyEncoded(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/' || c == '?' || c == '=' || c == '&' || c == ':';
        if (plain) {
            continue;
        }
        if (c != '%' || i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
            return false;
        }
        i += 2;
    }
    return true;
}

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHex(text[i + 1]) && isHex(text[i + 2])) {
            out.push_back(
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// ---- the program against the simulator ------------------------------------------------------

// One run of the program: a new window, platform and pool, with the sites at `urls`.
struct ProgramRun {
    explicit ProgramRun(const config::Urls& urls) : pool(hostileLimits()) {
        program::AppOptions options;
        options.urls = urls;
        options.harvest = hostileHarvest();
        application = std::make_unique<program::Application>(form, platform, pool, options);
        // A fetch that waits runs window events; the window's clock ticks meanwhile.
        platform.onProcessEvents = [this] { form.Timer1.tick(); };
    }

    void press(const std::string& pageLimit) {
        form.Text1.setText(pageLimit);
        form.Command1.click();
    }

    // Drives the window's clock until the batch timer stops. No sleep: poll() waits for the
    // network at most a millisecond, and the transfers end by their own limits.
    void runBatch(Clock::time_point deadline) {
        while (form.Timer1.enabled()) {
            pool.poll(1);
            form.Timer1.tick();
            if (Clock::now() > deadline) {
                ADD_FAILURE() << "the batch did not end within its time-outs";
                return;
            }
        }
    }

    void select(const std::string& entry) {
        form.List1.clear();
        form.List1.addItem(entry);
        form.List1.setListIndex(0);
    }

    app::Form1 form;
    RecordingPlatform platform;
    net::TransferPool pool;
    std::unique_ptr<program::Application> application;
};

config::Urls urlsFor(const std::string& market, const std::string& icpSite) {
    return config::Urls{market, icpSite + "/icp/", market + "/vendor/forum",
                        market + "/vendor/home"};
}

std::vector<std::string> pagesOf(const sim::Options& options, std::initializer_list<int> pages) {
    std::vector<std::string> out;
    for (int p : pages) {
        for (auto& d : sim::rowDomains(options, p)) {
            out.push_back(d);
        }
    }
    return out;
}

// A listed domain with a full price table and a filing number, so that every label of a
// query has a value to check.
std::string filedNormalDomain() {
    for (int row = 1; row <= sim::kMaxRowsPerPage; ++row) {
        const std::string d = sim::domainFor(1, row);
        if (sim::detailVariant(d) == sim::DetailVariant::Normal && sim::isFiled(d)) {
            return d;
        }
    }
    ADD_FAILURE() << "page 1 has no filed domain with a normal detail page";
    return sim::domainFor(1, 1);
}

// A marker value as a label shows it: tags lose their "<".
std::string shown(std::string value) {
    value.erase(std::remove(value.begin(), value.end(), '<'), value.end());
    return value;
}

std::string filingCaption(const std::string& domain, std::string_view filedPrefix) {
    if (!sim::isFiled(domain)) {
        return "是否备案：未备案";
    }
    return std::string(filedPrefix) + sim::filingNumber(domain);
}

// The entries of hostile rows in a harvested page 1: row 2 + 3k carries hostile text k.
std::vector<std::string> hostileEntries(const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    const std::size_t count = sim::hostileDomains().size();
    for (std::size_t k = 0; k < count && 1 + 3 * k < entries.size(); ++k) {
        out.push_back(entries[1 + 3 * k]);
    }
    return out;
}

std::chrono::milliseconds allowedFor(int sequentialFetches) {
    return std::chrono::milliseconds(hostileLimits().totalTimeoutMs) * sequentialFetches + kSlack;
}

class HostileServerTest : public ::testing::TestWithParam<HostileCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.lastError();
        // A port that was just given up: connecting to it is refused.
        sim::MarketSim gone;
        ASSERT_TRUE(gone.start()) << gone.lastError();
        deadBase = gone.baseUrl();
        gone.stop();
    }

    // Serves `fault` on the route `place` picks, with the case's rows.
    void serve(const std::function<void(sim::Options&, Fault)>& place) {
        sim::Options options;
        options.pages = 10;
        options.hostileRows = GetParam().hostileRows;
        place(options, GetParam().fault);
        server.setOptions(options);
        server.clearRequests();
    }

    std::string liveBase() const { return server.baseUrl(); }
    std::string faultedBase() const { return GetParam().refused ? deadBase : liveBase(); }

    // Every request the program sent during the run: the target only ever carries percent
    // escapes, and a detail or lookup request carries an entry of the list exactly.
    void expectRequestsEncoded(const std::vector<std::string>& entries) const {
        for (const sim::RequestRecord& r : server.requests()) {
            SCOPED_TRACE("request target: " + r.target);
            EXPECT_TRUE(onlyEncoded(r.target));
            for (std::string_view route : {"/backorder/", "/icp/"}) {
                if (r.target.rfind(route, 0) == 0) {
                    // A raw '?' can only come from the server's own redirect.
                    const std::string path = r.target.substr(0, r.target.find('?'));
                    const std::string sent = percentDecoded(path.substr(route.size()));
                    EXPECT_NE(std::find(entries.begin(), entries.end(), sent), entries.end());
                }
            }
        }
    }

    template <typename Run>
    void timed(int sequentialFetches, Run run) {
        const MemoryWatch memory;
        const auto started = Clock::now();
        run(started + allowedFor(sequentialFetches) * 2);
        const auto took = Clock::now() - started;
        EXPECT_LE(took, allowedFor(sequentialFetches))
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        if (GetParam().watchMemory) {
            const long growth = memory.growthKiB();
            RecordProperty("memory_growth_kib", std::to_string(growth));
            EXPECT_LT(growth, kMemoryBoundKiB) << "KiB more memory during the run";
        }
    }

    sim::MarketSim server;
    std::string deadBase;
};

TEST_P(HostileServerTest, SinglePageHarvest) {
    const HostileCase& c = GetParam();
    serve([](sim::Options& o, Fault f) { o.pageFaults[1] = f; });
    ProgramRun program(urlsFor(faultedBase(), liveBase()));

    timed(1, [&](Clock::time_point) { program.press("1"); });

    EXPECT_TRUE(program.form.Command1.enabled());
    if (fails(c)) {
        EXPECT_EQ(program.form.status(), "采集失败 .. " + c.reason);
        EXPECT_EQ(program.form.List1.listCount(), 0u);
    } else {
        EXPECT_EQ(program.form.status(), "采集完毕 ..");
        EXPECT_EQ(program.form.List1.items(), pagesOf(server.options(), {1}));
    }
    if (c.hostileRows) {
        EXPECT_EQ(hostileEntries(program.form.List1.items()), sim::hostileDomains());
    }
    expectRequestsEncoded(program.form.List1.items());
}

TEST_P(HostileServerTest, BatchWithTheFaultOnPageTwo) {
    const HostileCase& c = GetParam();
    serve([](sim::Options& o, Fault f) { o.pageFaults[2] = f; });
    ProgramRun program(urlsFor(faultedBase(), liveBase()));

    // Page 2 is fetched once and retried once; the other pages run beside it.
    timed(hostileHarvest().retries + 1, [&](Clock::time_point deadline) {
        program.press("3");
        program.runBatch(deadline);
    });

    EXPECT_FALSE(program.form.Timer1.enabled());
    EXPECT_EQ(program.form.Command1.caption(), app::kStartCaption);
    const sim::Options served = server.options();
    if (c.refused) {
        // The whole marketplace is gone: every page failed, and each is named.
        EXPECT_EQ(program.form.status(), "批量采集完毕 .. 3页失败: 1, 2, 3");
        EXPECT_EQ(program.form.List1.listCount(), 0u);
    } else if (fails(c)) {
        EXPECT_EQ(program.form.status(), "批量采集完毕 .. 1页失败: 2");
        EXPECT_EQ(program.form.List1.items(), pagesOf(served, {1, 3}));
    } else {
        EXPECT_EQ(program.form.status(), "批量采集完毕 ..");
        EXPECT_EQ(program.form.List1.items(), pagesOf(served, {1, 2, 3}));
    }
    expectRequestsEncoded(program.form.List1.items());
}

// The double-click query with the fault on the detail page (the lookup still answers), the
// menu query with the fault on the lookup site (the detail page still answers), and the
// booking command. The hostile listing's entries take the sample domain's place: every request
// and every URL for the browser must carry them percent-encoded, as one path segment.
TEST_P(HostileServerTest, QueriesAndBookingWithTheFaultOnOneRoute) {
    const HostileCase& c = GetParam();
    std::vector<std::string> domains = {filedNormalDomain()};
    if (c.hostileRows) {
        serve([](sim::Options&, Fault) {});
        ProgramRun harvest(urlsFor(liveBase(), liveBase()));
        harvest.press("1");
        ASSERT_EQ(harvest.form.status(), "采集完毕 ..");
        domains = hostileEntries(harvest.form.List1.items());
        ASSERT_EQ(domains, sim::hostileDomains());
    }

    serve([](sim::Options& o, Fault f) { o.detailFault = f; });
    {
        ProgramRun program(urlsFor(faultedBase(), liveBase()));
        for (const std::string& domain : domains) {
            SCOPED_TRACE("double-click on \"" + domain + "\"");
            program.select(domain);
            timed(2, [&](Clock::time_point) { program.form.List1.DblClick.raise(); });
            if (domain.empty()) {
                EXPECT_EQ(program.form.status(), "请先进行获取 ..");
                continue;
            }
            const sim::DetailInfo info = sim::detailInfo(domain);
            EXPECT_EQ(program.form.status(),
                      fails(c) ? "查询完毕 .. 详情页获取失败" : "查询完毕 ..");
            EXPECT_EQ(program.form.Label12.caption(),
                      filingCaption(domain, query::kFiledPrefixList));
            if (fails(c)) {
                // No value from a page that did not arrive.
                EXPECT_NE(program.form.Label1.caption(), "删除类型：" + shown(info.deleteType));
            } else {
                EXPECT_EQ(program.form.Label1.caption(), "删除类型：" + shown(info.deleteType));
                EXPECT_EQ(program.form.Label2.caption(), "删除时间：" + shown(info.deleteTime));
            }
        }
        expectRequestsEncoded(domains);
    }

    serve([](sim::Options& o, Fault f) { o.icpFault = f; });
    {
        ProgramRun program(urlsFor(liveBase(), faultedBase()));
        for (const std::string& domain : domains) {
            SCOPED_TRACE("menu query on \"" + domain + "\"");
            program.select(domain);
            timed(2, [&](Clock::time_point) { program.form.cx.Click.raise(); });
            if (domain.empty()) {
                EXPECT_EQ(program.form.status(), "请先进行获取 ..");
                continue;
            }
            const sim::DetailInfo info = sim::detailInfo(domain);
            EXPECT_EQ(program.form.Label1.caption(), "删除类型：" + shown(info.deleteType));
            EXPECT_EQ(program.form.Label2.caption(), "删除时间：" + shown(info.deleteTime));
            if (fails(c)) {
                EXPECT_EQ(program.form.status(), "查询完毕 .. 备案查询失败");
                EXPECT_EQ(program.form.Label12.caption(), "是否备案：查询失败");
            } else {
                EXPECT_EQ(program.form.status(), "查询完毕 ..");
                EXPECT_EQ(program.form.Label12.caption(),
                          filingCaption(domain, query::kFiledPrefixMenu));
            }
        }
        expectRequestsEncoded(domains);
    }

    ProgramRun program(urlsFor(liveBase(), liveBase()));
    const std::string bookingBase = liveBase() + "/backorder/";
    for (const std::string& domain : domains) {
        SCOPED_TRACE("booking \"" + domain + "\"");
        program.select(domain);
        const std::size_t before = program.platform.openedUrls.size();
        program.form.ydym.Click.raise();
        if (domain.empty()) {
            EXPECT_EQ(program.platform.openedUrls.size(), before);
            continue;
        }
        ASSERT_EQ(program.platform.openedUrls.size(), before + 1);
        const std::string& url = program.platform.openedUrls.back();
        ASSERT_EQ(url.substr(0, bookingBase.size()), bookingBase);
        const std::string segment = url.substr(bookingBase.size());
        EXPECT_TRUE(onlyEncoded(segment)) << url;
        EXPECT_EQ(segment.find('/'), std::string::npos) << url;
        EXPECT_EQ(percentDecoded(segment), domain);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileServerTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace jilan::testing
