#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "market_sim.h"
#include "net/page_fetcher.h"
#include "net/transfer_pool.h"
#include "program/form_pump.h"
#include "query/query_commands.h"
#include "recording_platform.h"

namespace {

using jilan::app::Form1;
using jilan::app::Slot;
namespace sim = jilan::sim;

enum class Cmd { Menu, DoubleClick };

const char* cmdName(Cmd c) {
    return c == Cmd::Menu ? "cx_Click" : "List1_DblClick";
}

jilan::net::HttpLimits shortLimits() {
    jilan::net::HttpLimits limits;
    limits.connectTimeoutMs = 2'000;
    limits.totalTimeoutMs = 5'000;
    limits.lowSpeedSeconds = 5;
    return limits;
}

// One window with its query commands, talking to a market simulator over loopback.
struct Rig {
    explicit Rig(sim::Options options = {}) : sim(options) {
        started = sim.start();
        urls.market = sim.baseUrl();
        urls.icp = sim.icpBaseUrl();
        queries = std::make_unique<jilan::query::QueryCommands>(form, fetcher, platform, urls);
    }

    // The list holds an unrelated entry first, so the selection is not index 0.
    void select(const std::string& domain) {
        form.List1.clear();
        form.List1.addItem("first-entry.com");
        form.List1.addItem(domain);
        form.List1.setListIndex(1);
    }
    void run(Cmd c) {
        if (c == Cmd::Menu) {
            queries->cx_Click();
        } else {
            queries->List1_DblClick();
        }
    }
    // Captions that a query must not touch unless it parses, set to tell them apart.
    void markDetailArea() {
        form.Label1.setCaption("L1-before");
        form.Label2.setCaption("L2-before");
        form.Label13.setCaption("L13-before");
        form.Text2.setText("T2-before");
        form.Label8.setCaption("L8-before");
        form.Label9.setCaption("L9-before");
        form.Label10.setCaption("L10-before");
        form.Label11.setCaption("L11-before");
        form.Label12.setCaption("L12-before");
    }

    sim::MarketSim sim;
    bool started = false;
    jilan::config::Urls urls;
    Form1 form;
    jilan::testing::RecordingPlatform platform;
    jilan::net::TransferPool pool{shortLimits()};
    jilan::program::FormPump pump{form, platform};
    jilan::net::PageFetcher fetcher{pool, pump};
    std::unique_ptr<jilan::query::QueryCommands> queries;
};

struct DetailArea {
    std::string label1, label2, label13, text2, label8, label9, label10, label11, label12;
};

DetailArea shown(const Form1& f) {
    return {f.Label1.caption(),  f.Label2.caption(),  f.Label13.caption(),
            f.Text2.text(),      f.Label8.caption(),  f.Label9.caption(),
            f.Label10.caption(), f.Label11.caption(), f.Label12.caption()};
}

void expectArea(const DetailArea& got, const DetailArea& want) {
    EXPECT_EQ(got.label1, want.label1);
    EXPECT_EQ(got.label2, want.label2);
    EXPECT_EQ(got.label13, want.label13);
    EXPECT_EQ(got.text2, want.text2);
    EXPECT_EQ(got.label8, want.label8);
    EXPECT_EQ(got.label9, want.label9);
    EXPECT_EQ(got.label10, want.label10);
    EXPECT_EQ(got.label11, want.label11);
    EXPECT_EQ(got.label12, want.label12);
}

const DetailArea kBeforeArea{"L1-before", "L2-before",  "L13-before", "T2-before", "L8-before",
                             "L9-before", "L10-before", "L11-before", "L12-before"};

// "<tag ...>inner</tag>" split by the wrapping the simulator puts around a value.
std::string unwrap(const std::string& wrapped, const std::string& open, const std::string& close) {
    EXPECT_EQ(wrapped.rfind(open, 0), 0U) << wrapped;
    EXPECT_TRUE(wrapped.ends_with(close)) << wrapped;
    return wrapped.substr(open.size(), wrapped.size() - open.size() - close.size());
}

// What the detail area must show for a simulator domain, written out by the
// rules of the page layout: the last price cell runs on to the "<" of "</div>".
DetailArea expectedFor(const std::string& domain, Cmd c) {
    const sim::DetailInfo info = sim::detailInfo(domain);
    const std::string tail = "</tr>\r\n</table><";
    DetailArea a;
    a.label1 = "删除类型：" + info.deleteType;
    a.label2 = "删除时间：" + info.deleteTime;
    a.label13 = "预定截止：" + info.bookingDeadline;
    a.text2 = info.whois;
    const std::vector<std::string>& cells = info.priceCells;
    switch (info.variant) {
        case sim::DetailVariant::Normal:
            a.label8 = cells.at(0);
            a.label9 = cells.at(1);
            a.label10 = cells.at(2);
            a.label11 = cells.at(3) + tail;
            break;
        case sim::DetailVariant::BookingOver:
            a.label8 = a.label9 = a.label10 = a.label11 = "预定时间已过";
            break;
        case sim::DetailVariant::PartialPrice:
            a.label8 = cells.at(0);
            a.label9 = cells.at(1) + tail;
            break;
        case sim::DetailVariant::InlineTags:
            // Every "<" goes from the labels; the price cell keeps its tags.
            a.label1 = "删除类型：b>" + unwrap(info.deleteType, "<b>", "</b>") + "/b>";
            a.label13 = "预定截止：span class=\"red\">" +
                        unwrap(info.bookingDeadline, "<span class=\"red\">", "</span>") + "/span>";
            a.label8 = cells.at(0);
            a.label9 = cells.at(1);
            a.label10 = cells.at(2);
            a.label11 = cells.at(3) + tail;
            break;
        case sim::DetailVariant::SpaceBeforeTd:
            // Cell 1 keeps its space before "</td>"; cells 2 and 3 lose it; cell 4's space is
            // inside.
            a.label8 = cells.at(0);
            a.label9 = cells.at(1).substr(0, cells.at(1).size() - 1);
            a.label10 = cells.at(2).substr(0, cells.at(2).size() - 1);
            a.label11 = cells.at(3) + tail;
            break;
        case sim::DetailVariant::NoPriceTable:
            break;
    }
    if (sim::isFiled(domain)) {
        a.label12 =
            (c == Cmd::Menu ? "是否备案：已备案 " : "是否备案：") + sim::filingNumber(domain);
    } else {
        a.label12 = "是否备案：未备案";
    }
    return a;
}

TEST(QueryCommands, NothingSelectedOnlyRefuses) {
    Rig rig;
    ASSERT_TRUE(rig.started) << rig.sim.lastError();
    for (const Cmd c : {Cmd::Menu, Cmd::DoubleClick}) {
        for (const bool emptyList : {true, false}) {
            SCOPED_TRACE(std::string(cmdName(c)) + (emptyList ? ", empty list" : ", no selection"));
            rig.form.List1.clear();
            if (!emptyList) {
                rig.form.List1.addItem("qiyun4821.com");
            }
            rig.markDetailArea();
            for (std::size_t i = 0; i < jilan::app::WorkArray::kSize; ++i) {
                rig.form.sj.at(i) = "slot" + std::to_string(i);
            }
            rig.run(c);
            EXPECT_EQ(rig.form.status(), "请先进行获取 ..");
            expectArea(shown(rig.form), kBeforeArea);
            for (std::size_t i = 0; i < jilan::app::WorkArray::kSize; ++i) {
                EXPECT_EQ(rig.form.sj.at(i), "slot" + std::to_string(i));
            }
            EXPECT_TRUE(rig.sim.requests().empty());
            EXPECT_EQ(rig.platform.pumps, 0);
        }
    }
}

TEST(QueryCommands, EveryDetailVariantFillsTheDetailArea) {
    Rig rig;
    ASSERT_TRUE(rig.started) << rig.sim.lastError();
    const sim::DetailVariant variants[] = {
        sim::DetailVariant::Normal,        sim::DetailVariant::BookingOver,
        sim::DetailVariant::PartialPrice,  sim::DetailVariant::InlineTags,
        sim::DetailVariant::SpaceBeforeTd, sim::DetailVariant::NoPriceTable};
    for (const sim::DetailVariant v : variants) {
        const std::string domain = sim::sampleDomain(v);
        for (const Cmd c : {Cmd::Menu, Cmd::DoubleClick}) {
            SCOPED_TRACE(std::string(sim::variantName(v)) + " " + domain + " " + cmdName(c));
            rig.select(domain);
            rig.markDetailArea();
            rig.run(c);
            expectArea(shown(rig.form), expectedFor(domain, c));
            EXPECT_EQ(rig.form.status(), "查询完毕 ..");
            EXPECT_FALSE(rig.queries->busy());
        }
    }
}

TEST(QueryCommands, FiledAndUnfiledDomainsWithBothPrefixes) {
    Rig rig;
    ASSERT_TRUE(rig.started) << rig.sim.lastError();
    // The first filed and the first unfiled domain of page 1.
    std::string filed, unfiled;
    for (int row = 1; row <= sim::kMaxRowsPerPage; ++row) {
        const std::string d = sim::domainFor(1, row);
        std::string& slot = sim::isFiled(d) ? filed : unfiled;
        if (slot.empty()) {
            slot = d;
        }
    }
    ASSERT_FALSE(filed.empty());
    ASSERT_FALSE(unfiled.empty());
    const std::string number = sim::filingNumber(filed);
    struct Case {
        std::string domain;
        Cmd cmd;
        std::string label12;
    } cases[] = {
        {filed, Cmd::Menu, "是否备案：已备案 " + number},
        {filed, Cmd::DoubleClick, "是否备案：" + number},
        {unfiled, Cmd::Menu, "是否备案：未备案"},
        {unfiled, Cmd::DoubleClick, "是否备案：未备案"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.domain + " " + cmdName(c.cmd));
        rig.select(c.domain);
        rig.run(c.cmd);
        EXPECT_EQ(rig.form.Label12.caption(), c.label12);
        EXPECT_EQ(rig.form.sj[Slot::FilingNumber], sim::filingNumber(c.domain));
    }
}

// Both fetches fail: the detail area follows the empty-page rules, the filing
// lookup says it could not ask, and the status names both failures.
TEST(QueryCommands, BothFetchesFailing) {
    const std::string domain = sim::sampleDomain(sim::DetailVariant::Normal);
    const DetailArea bare{"删除类型：", "删除时间：", "预定截止：",        "", "", "",
                          "",           "",           "是否备案：查询失败"};
    DetailArea keptButLookup = kBeforeArea;
    keptButLookup.label12 = "是否备案：查询失败";
    struct Case {
        const char* name;
        sim::Fault fault;  // for both routes; None = nobody listens at all
        Cmd cmd;
        DetailArea want;
    } cases[] = {
        {"dropped connections, menu", sim::Fault::DropBeforeBody, Cmd::Menu, bare},
        {"dropped connections, double-click", sim::Fault::DropBeforeBody, Cmd::DoubleClick,
         keptButLookup},
        {"closed port, menu", sim::Fault::None, Cmd::Menu, bare},
        {"closed port, double-click", sim::Fault::None, Cmd::DoubleClick, keptButLookup},
        // An error page is page text: it holds no marker, so the parse clears the area.
        {"500 answers, menu", sim::Fault::Status500, Cmd::Menu, bare},
        {"500 answers, double-click", sim::Fault::Status500, Cmd::DoubleClick, bare},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Options options;
        options.detailFault = c.fault;
        options.icpFault = c.fault;
        Rig rig(options);
        ASSERT_TRUE(rig.started) << rig.sim.lastError();
        if (c.fault == sim::Fault::None) {
            rig.sim.stop();
        }
        rig.select(domain);
        rig.markDetailArea();
        rig.run(c.cmd);
        expectArea(shown(rig.form), c.want);
        EXPECT_EQ(rig.form.status(), "查询完毕 .. 详情页获取失败，备案查询失败");
        EXPECT_FALSE(rig.queries->busy());
    }
}

TEST(QueryCommands, OneFailingFetchIsNamedAlone) {
    const std::string domain = sim::sampleDomain(sim::DetailVariant::Normal);
    struct Case {
        const char* name;
        sim::Fault detail;
        sim::Fault icp;
        std::string status;
    } cases[] = {
        {"detail dropped", sim::Fault::DropBeforeBody, sim::Fault::None,
         "查询完毕 .. 详情页获取失败"},
        {"detail 404", sim::Fault::Status404, sim::Fault::None, "查询完毕 .. 详情页获取失败"},
        {"lookup dropped", sim::Fault::None, sim::Fault::DropBeforeBody,
         "查询完毕 .. 备案查询失败"},
        {"lookup 503", sim::Fault::None, sim::Fault::Status503, "查询完毕 .. 备案查询失败"},
    };
    for (const Case& c : cases) {
        for (const Cmd cmd : {Cmd::Menu, Cmd::DoubleClick}) {
            SCOPED_TRACE(std::string(c.name) + " " + cmdName(cmd));
            sim::Options options;
            options.detailFault = c.detail;
            options.icpFault = c.icp;
            Rig rig(options);
            ASSERT_TRUE(rig.started) << rig.sim.lastError();
            rig.select(domain);
            rig.run(cmd);
            EXPECT_EQ(rig.form.status(), c.status);
            const DetailArea good = expectedFor(domain, cmd);
            if (c.detail == sim::Fault::None) {
                EXPECT_EQ(rig.form.Label1.caption(), good.label1);
                EXPECT_EQ(rig.form.Label12.caption(), "是否备案：查询失败");
            } else {
                // The lookup runs also when the detail page is missing.
                EXPECT_EQ(rig.form.Label12.caption(), good.label12);
            }
        }
    }
}

// An error answer of the lookup site is page text: when it says what was asked it is the
// answer; when it says nothing the lookup failed.
TEST(QueryCommands, LookupErrorAnswersAreJudgedByTheirText) {
    const std::string domain = sim::sampleDomain(sim::DetailVariant::Normal);
    struct Case {
        const char* rule;
        sim::Fault icp;
        std::string menuCaption, listCaption, status;
    };
    const std::string number = sim::assignedFilingNumber(domain);
    const Case cases[] = {
        {"404 saying 未备案 is not filed", sim::Fault::IcpNotFiled404, "是否备案：未备案",
         "是否备案：未备案", "查询完毕 .."},
        {"404 holding the filing number is filed", sim::Fault::IcpFiled404,
         "是否备案：已备案 " + number, "是否备案：" + number, "查询完毕 .."},
        {"404 error page is a failed lookup", sim::Fault::Status404, "是否备案：查询失败",
         "是否备案：查询失败", "查询完毕 .. 备案查询失败"},
        {"200 page without markers is not filed", sim::Fault::NoMarkers, "是否备案：未备案",
         "是否备案：未备案", "查询完毕 .."},
    };
    for (const Case& c : cases) {
        for (const Cmd cmd : {Cmd::Menu, Cmd::DoubleClick}) {
            SCOPED_TRACE(std::string(c.rule) + " " + cmdName(cmd));
            sim::Options options;
            options.icpFault = c.icp;
            Rig rig(options);
            ASSERT_TRUE(rig.started) << rig.sim.lastError();
            rig.select(domain);
            rig.run(cmd);
            EXPECT_EQ(rig.form.Label12.caption(), cmd == Cmd::Menu ? c.menuCaption : c.listCaption);
            EXPECT_EQ(rig.form.status(), c.status);
        }
    }
}

// The detail fetch blocks the window: before it, the window gets the chance to paint the
// query's status, and no window event runs until it returns.
TEST(QueryCommands, TheBlockingFetchIsAnnouncedWithTheQueryStatus) {
    sim::Options options;
    options.latencyMs = 30;
    Rig rig(options);
    ASSERT_TRUE(rig.started) << rig.sim.lastError();
    rig.select(sim::sampleDomain(sim::DetailVariant::Normal));
    rig.form.setStatus("查询完毕 ..");
    for (const Cmd cmd : {Cmd::Menu, Cmd::DoubleClick}) {
        SCOPED_TRACE(cmdName(cmd));
        std::string statusShown;
        int pumpsAtStart = -1;
        rig.platform.onBlockingStarted = [&] {
            statusShown = rig.form.status();
            pumpsAtStart = rig.platform.pumps;
        };
        int pumpsAtEnd = -1;
        const int endsBefore = rig.platform.blockingEnds;
        rig.platform.onProcessEvents = [&] {
            if (pumpsAtEnd < 0) {
                pumpsAtEnd = rig.platform.pumps - 1;
                EXPECT_EQ(rig.platform.blockingEnds, endsBefore + 1);
            }
        };
        rig.run(cmd);
        EXPECT_EQ(statusShown, "正在进行查询 ..");
        // The first window event comes after the blocking fetch ended (during the lookup).
        EXPECT_EQ(pumpsAtEnd, pumpsAtStart);
        EXPECT_EQ(rig.platform.blockingStarts, rig.platform.blockingEnds);
        EXPECT_EQ(rig.form.status(), "查询完毕 ..");
    }
}

TEST(QueryCommands, QueryClearsTheWholeWorkArray) {
    Rig rig;
    ASSERT_TRUE(rig.started) << rig.sim.lastError();
    const std::string domain = sim::sampleDomain(sim::DetailVariant::BookingOver);
    for (const Cmd c : {Cmd::Menu, Cmd::DoubleClick}) {
        SCOPED_TRACE(cmdName(c));
        rig.select(domain);
        for (std::size_t i = 0; i < jilan::app::WorkArray::kSize; ++i) {
            rig.form.sj.at(i) = "stale";
        }
        rig.run(c);
        for (std::size_t i :
             {0, 1, 2, 3, 9, 12, 15, 16, 17, 18, 19, 20, 23, 26, 30, 32, 33, 34, 35}) {
            // Harvester slots, gaps, and the price slots a booking-over page never fills.
            EXPECT_EQ(rig.form.sj.at(i), "") << "slot " << i;
        }
        // The pages as served (GBK), decoded back to text.
        EXPECT_EQ(rig.form.sj[Slot::DetailPage], sim::detailPage(domain));
        EXPECT_EQ(rig.form.sj[Slot::IcpPage], sim::icpPage(domain));
        EXPECT_EQ(rig.form.sj[Slot::DeleteTime], "2026-12-07 09:00:00");
    }
}

TEST(QueryCommands, CshEmptiesEverySlot) {
    Rig rig;
    for (std::size_t i = 0; i < jilan::app::WorkArray::kSize; ++i) {
        rig.form.sj.at(i) = "x";
    }
    rig.queries->csh();
    EXPECT_TRUE(rig.form.sj.allEmpty());
}

// While the first query waits for its lookup page, window events run; queries asked for then
// wait: the first query finishes on its own domain, then the last one asked for runs.
TEST(QueryCommands, QueriesAskedForDuringTheLookupWaitRunTheLastOneAfterIt) {
    const std::string first = sim::sampleDomain(sim::DetailVariant::Normal);
    const std::string second = sim::sampleDomain(sim::DetailVariant::NoPriceTable);
    const std::string third = sim::sampleDomain(sim::DetailVariant::PartialPrice);
    for (const Cmd outer : {Cmd::Menu, Cmd::DoubleClick}) {
        for (const Cmd inner : {Cmd::Menu, Cmd::DoubleClick}) {
            SCOPED_TRACE(std::string(cmdName(outer)) + " then " + cmdName(inner));
            sim::Options options;
            options.latencyMs = 150;
            Rig rig(options);
            ASSERT_TRUE(rig.started) << rig.sim.lastError();
            rig.select(first);
            rig.form.List1.addItem(second);
            rig.form.List1.addItem(third);

            int fired = 0;
            bool busyInside = false;
            std::size_t requestsBefore = 0, requestsAfter = 0;
            DetailArea before, after;
            std::string statusBefore, statusAfter;
            std::vector<std::string> lookups;
            rig.platform.onProcessEvents = [&] {
                if (fired == 2) {
                    return;
                }
                if (fired++ == 0) {
                    busyInside = rig.queries->busy();
                    before = shown(rig.form);
                    statusBefore = rig.form.status();
                    requestsBefore = rig.sim.requests().size();
                    // The user asks for another entry, then for a third one.
                    rig.form.List1.setListIndex(2);
                    rig.run(inner);
                    rig.form.List1.setListIndex(3);
                    rig.run(inner);
                    after = shown(rig.form);
                    statusAfter = rig.form.status();
                    requestsAfter = rig.sim.requests().size();
                }
            };
            rig.run(outer);

            ASSERT_GE(fired, 1);
            EXPECT_TRUE(busyInside);
            // Asking changed nothing and sent nothing while the first query ran.
            expectArea(after, before);
            EXPECT_EQ(statusAfter, statusBefore);
            EXPECT_LE(requestsAfter, requestsBefore + 1);
            // The detail area ends on the entry asked for last, by its command.
            rig.platform.onProcessEvents = nullptr;
            expectArea(shown(rig.form), expectedFor(third, inner));
            EXPECT_EQ(rig.form.status(), "查询完毕 ..");
            EXPECT_FALSE(rig.queries->busy());
            EXPECT_FALSE(rig.queries->queryPending());
            for (const auto& r : rig.sim.requests()) {
                EXPECT_EQ(r.target.find(second), std::string::npos) << r.target;
            }
        }
    }
}

TEST(QueryCommands, EndingDuringTheLookupStopsAllEffects) {
    sim::Options options;
    options.latencyMs = 100;
    Rig rig(options);
    ASSERT_TRUE(rig.started) << rig.sim.lastError();
    const std::string domain = sim::sampleDomain(sim::DetailVariant::Normal);
    rig.select(domain);
    rig.markDetailArea();
    rig.platform.onProcessEvents = [&] { rig.form.end(); };
    rig.queries->cx_Click();
    // The detail page had been parsed; the lookup never reached the label.
    EXPECT_EQ(rig.form.Label1.caption(), expectedFor(domain, Cmd::Menu).label1);
    EXPECT_EQ(rig.form.Label12.caption(), "L12-before");
    EXPECT_EQ(rig.form.status(), "正在进行查询 ..");
    EXPECT_FALSE(rig.queries->busy());
}

TEST(QueryCommands, RequestsCarryThePercentEncodedDomain) {
    Rig rig;
    ASSERT_TRUE(rig.started) << rig.sim.lastError();
    struct Case {
        std::string entry;
        std::string encoded;
    } cases[] = {
        {"qiyun4821.com", "qiyun4821.com"},
        {"a b.com", "a%20b.com"},
        {"x.com\r\nX-Evil: 1", "x.com%0D%0AX-Evil%3A%201"},
        {"../../etc/passwd", "..%2F..%2Fetc%2Fpasswd"},
        {"q.com?p=1#f", "q.com%3Fp%3D1%23f"},
        {"中文.cn", "%E4%B8%AD%E6%96%87.cn"},
    };
    for (const Cmd c : {Cmd::Menu, Cmd::DoubleClick}) {
        for (const Case& k : cases) {
            SCOPED_TRACE(std::string(cmdName(c)) + " " + k.encoded);
            rig.sim.clearRequests();
            rig.select(k.entry);
            rig.run(c);
            const std::vector<sim::RequestRecord> seen = rig.sim.requests();
            ASSERT_EQ(seen.size(), 2U);
            EXPECT_EQ(seen[0].target, "/backorder/" + k.encoded);
            EXPECT_EQ(seen[1].target, "/icp/" + k.encoded);
            // The detail page goes without the header, the lookup with it.
            EXPECT_FALSE(seen[0].hasIfModifiedSince);
            EXPECT_EQ(seen[1].ifModifiedSince, "0");
            for (const auto& r : seen) {
                EXPECT_EQ(r.target.find_first_of("\r\n "), std::string::npos);
            }
            EXPECT_EQ(rig.form.status(), "查询完毕 ..");
        }
    }
}

}  // namespace
