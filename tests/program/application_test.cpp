#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "harvest_rig.h"
#include "program/application.h"
#include "recording_platform.h"
#include "temp_dir.h"

namespace {

namespace app = jilan::app;
namespace program = jilan::program;
namespace fs = std::filesystem;
using app::MessageAnswer;

const std::string kForum = "http://forum.example/bbs/index.php?fid=2";
const std::string kHome = "https://home.example/";

// The exit question's prompt, byte for byte: two sentences joined by CR, space, CR.
const std::string kPrompt =
    "感谢您对霁岚、对霁岚系列的软件的支持!"
    "\r \r"
    "是否退出并到论坛可以下载更多霁岚系列原创免费软件?";

using jilan::testing::TempDir;

// The program wired as it runs, on the recording platform. Nothing here
// reaches the network: the market URL points at a closed loopback port.
struct ShellRig {
    ShellRig() {
        program::AppOptions options;
        options.urls =
            jilan::config::Urls{"http://127.0.0.1:9", "http://127.0.0.1:9/icp/", kForum, kHome};
        platform.folder = "/nonexistent-jilan-program-folder";
        application = std::make_unique<program::Application>(form, platform, pool, options);
    }

    // Everything a Cancel must leave as it was.
    std::vector<std::string> snapshot() const {
        std::vector<std::string> s;
        for (const app::Control* c : form.controls()) {
            if (auto* l = dynamic_cast<const app::Label*>(c)) {
                s.push_back(l->name() + "=" + l->caption());
            } else if (auto* b = dynamic_cast<const app::Button*>(c)) {
                s.push_back(b->name() + "=" + b->caption() + (b->enabled() ? "" : " (off)"));
            } else if (auto* t = dynamic_cast<const app::TextBox*>(c)) {
                s.push_back(t->name() + "=" + t->text());
            }
        }
        for (const auto& item : form.List1.items()) {
            s.push_back("item " + item);
        }
        s.push_back("selected " + std::to_string(form.List1.listIndex()));
        s.push_back("status " + form.status());
        s.push_back(std::string("timer ") + (form.Timer1.enabled() ? "on" : "off"));
        s.push_back("scroll " + std::to_string(form.HScroll1.value()));
        s.push_back("ys " + std::to_string(form.ys));
        s.push_back("sj0 " + form.sj.at(0));
        s.push_back(std::string("icon ") + (form.hasIcon() ? "yes" : "no"));
        return s;
    }

    // A window in the middle of its work: a list, a query shown, a batch running.
    void fillWindow() {
        form.List1.addItem("a.com");
        form.List1.addItem("b.com");
        form.List1.setListIndex(1);
        form.Label1.setCaption("删除类型：到期删除");
        form.Label8.setCaption("平台甲");
        form.Text2.setText("Domain Name: b.com");
        form.setStatus("查询完毕 ..");
        form.Command1.setCaption("停止采集");
        form.Timer1.setEnabled(true);
        form.ys = 3;
        form.sj.at(0) = "page text";
    }

    app::Form1 form;
    jilan::testing::RecordingPlatform platform;
    jilan::net::TransferPool pool;
    std::unique_ptr<program::Application> application;
};

TEST(StartUpTest, ClearsTheIconAndAppliesAReadableSkinFileOnly) {
    const std::string sheet =
        "QWidget { background: #eef; }\r\n/* 霁岚 */\nQPushButton { color: #123; }";
    struct Case {
        const char* what;
        std::function<void(const TempDir&)> prepare;
        bool folderWithSeparator;
        std::vector<std::string> applied;
    } cases[] = {
        {"style sheet present",
         [&](const TempDir& d) { d.write("skinh.she", sheet); },
         false,
         {sheet}},
        {"folder reported with a separator",
         [&](const TempDir& d) { d.write("skinh.she", sheet); },
         true,
         {sheet}},
        {"no skin file", [](const TempDir&) {}, false, {}},
        {"other names are not the skin",
         [&](const TempDir& d) {
             d.write("SkinH.she", sheet);
             d.write("skinh.she.bak", sheet);
         },
         false,
         {}},
        {"a directory in its place",
         [](const TempDir& d) { fs::create_directory(d.path() / "skinh.she"); },
         false,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        c.prepare(dir);
        ShellRig rig;
        rig.platform.folder = dir.path().string() + (c.folderWithSeparator ? "/" : "");
        EXPECT_EQ(rig.form.hasIcon(), true);
        std::vector<std::string> before = rig.snapshot();
        before.back() = "icon no";

        EXPECT_NO_THROW(rig.form.Load.raise());

        EXPECT_EQ(rig.platform.skins, c.applied);
        EXPECT_EQ(rig.form.hasIcon(), false);
        // Nothing else happens at start-up.
        EXPECT_EQ(rig.snapshot(), before);
        EXPECT_EQ(rig.platform.messages.size(), 0u);
        EXPECT_EQ(rig.platform.openedUrls, std::vector<std::string>{});
        EXPECT_EQ(rig.form.ended(), false);
    }
}

TEST(StartUpTest, SkinPathIsTheFolderJoinedAsText) {
    struct Case {
        const char* folder;
        const char* path;
    } cases[] = {{"/opt/jilan", "/opt/jilan/skinh.she"},
                 {"/", "//skinh.she"},
                 {"/opt/jilan/", "/opt/jilan//skinh.she"},
                 {"/home/用户/霁岚", "/home/用户/霁岚/skinh.she"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        ShellRig rig;
        rig.platform.folder = c.folder;
        EXPECT_EQ(rig.application->shell().skinPath(), c.path);
    }
}

TEST(LinkTest, EachButtonOpensItsPageOnceAndWritesNothing) {
    struct Case {
        const char* what;
        app::Button app::Form1::*button;
        std::string url;
        bool launchWorks;
    } cases[] = {{"forum", &app::Form1::Command2, kForum, true},
                 {"home", &app::Form1::Command4, kHome, true},
                 {"forum, launch fails", &app::Form1::Command2, kForum, false},
                 {"home, launch fails", &app::Form1::Command4, kHome, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShellRig rig;
        rig.platform.launchWorks = c.launchWorks;
        rig.fillWindow();
        const auto before = rig.snapshot();
        (rig.form.*c.button).click();
        EXPECT_EQ(rig.platform.openedUrls, std::vector<std::string>{c.url});
        EXPECT_EQ(rig.snapshot(), before);
        EXPECT_EQ(rig.platform.messages.size(), 0u);
        EXPECT_EQ(rig.form.ended(), false);
        EXPECT_EQ(rig.platform.endCalls, 0);
    }
}

TEST(ExitQuestionTest, SameQuestionAndOutcomesFromTheCloseBoxAndTheExitButton) {
    struct Route {
        const char* what;
        void (*close)(ShellRig&);
    } routes[] = {{"close box", [](ShellRig& r) { r.form.requestClose(); }},
                  {"Command3", [](ShellRig& r) { r.form.Command3.click(); }}};
    struct Answer {
        const char* what;
        MessageAnswer answer;
        bool ends;
        std::vector<std::string> opened;
    } answers[] = {{"Yes", MessageAnswer::Yes, true, {kForum}},
                   {"No", MessageAnswer::No, true, {}},
                   {"Cancel", MessageAnswer::Cancel, false, {}},
                   {"any other answer", MessageAnswer::Ok, false, {}}};
    for (const Route& route : routes) {
        for (const Answer& a : answers) {
            SCOPED_TRACE(std::string(route.what) + ", " + a.what);
            ShellRig rig;
            rig.fillWindow();
            const auto before = rig.snapshot();
            std::size_t openedWhenEnded = 99;
            const app::Connection atEnd = rig.form.endedSignal.connect(
                [&] { openedWhenEnded = rig.platform.openedUrls.size(); });
            rig.platform.messageAnswers = {a.answer};

            route.close(rig);

            ASSERT_EQ(rig.platform.messages.size(), 1u);
            const auto& m = rig.platform.messages[0];
            EXPECT_EQ(m.prompt, kPrompt);
            EXPECT_EQ(m.title, "霁岚系列软件");
            EXPECT_EQ(m.buttons, app::MessageButtons::YesNoCancel);
            EXPECT_EQ(m.icon, app::MessageIcon::Information);
            EXPECT_EQ(rig.platform.openedUrls, a.opened);
            EXPECT_EQ(rig.form.ended(), a.ends);
            EXPECT_EQ(rig.platform.endCalls, a.ends ? 1 : 0);
            if (a.ends) {
                // The forum page is launched before the program ends; timers stop.
                EXPECT_EQ(openedWhenEnded, a.opened.size());
                EXPECT_EQ(rig.form.Timer1.enabled(), false);
                // Once ended, a close asks nothing more.
                route.close(rig);
                EXPECT_EQ(rig.platform.messages.size(), 1u);
                EXPECT_EQ(rig.platform.endCalls, 1);
                continue;
            }
            // Kept open exactly as it was; the next close asks again.
            EXPECT_EQ(rig.snapshot(), before);
            rig.platform.messageAnswers = {MessageAnswer::No};
            route.close(rig);
            ASSERT_EQ(rig.platform.messages.size(), 2u);
            EXPECT_EQ(rig.platform.messages[1].prompt, kPrompt);
            EXPECT_EQ(rig.form.ended(), true);
            EXPECT_EQ(rig.platform.endCalls, 1);
            EXPECT_EQ(rig.platform.openedUrls, std::vector<std::string>{});
        }
    }
}

TEST(ExitQuestionTest, YesEndsEvenWhenTheForumCannotBeOpened) {
    ShellRig rig;
    rig.platform.launchWorks = false;
    rig.platform.messageAnswers = {MessageAnswer::Yes};
    rig.form.Command3.click();
    EXPECT_EQ(rig.platform.openedUrls, std::vector<std::string>{kForum});
    EXPECT_EQ(rig.form.ended(), true);
    EXPECT_EQ(rig.platform.endCalls, 1);
}

TEST(AfterEndTest, NoHandlerRunsOnceTheProgramHasEnded) {
    struct Event {
        const char* what;
        std::function<void(app::Form1&)> raise;
    } events[] = {
        {"Command1 click", [](app::Form1& f) { f.Command1.click(); }},
        {"Command2 click", [](app::Form1& f) { f.Command2.click(); }},
        {"Command3 click", [](app::Form1& f) { f.Command3.click(); }},
        {"Command4 click", [](app::Form1& f) { f.Command4.click(); }},
        {"Command5 click", [](app::Form1& f) { f.Command5.click(); }},
        {"Text1 typed", [](app::Form1& f) { f.Text1.setText("7"); }},
        {"HScroll1 moved", [](app::Form1& f) { f.HScroll1.setValue(5); }},
        {"late timer tick", [](app::Form1& f) { f.Timer1.Timer.raise(); }},
        {"List1 double-click", [](app::Form1& f) { f.List1.DblClick.raise(); }},
        {"List1 right press", [](app::Form1& f) { f.List1.MouseDown.raise(2, 0, 30, 30); }},
        {"fz chosen", [](app::Form1& f) { f.fz.Click.raise(); }},
        {"cx chosen", [](app::Form1& f) { f.cx.Click.raise(); }},
        {"ydym chosen", [](app::Form1& f) { f.ydym.Click.raise(); }},
        {"Load", [](app::Form1& f) { f.Load.raise(); }},
        {"close again", [](app::Form1& f) { f.requestClose(); }},
        {"QueryUnload raised",
         [](app::Form1& f) {
             int cancel = 0;
             f.QueryUnload.raise(cancel, 0);
             EXPECT_EQ(cancel, 0);
         }},
    };
    for (const Event& e : events) {
        SCOPED_TRACE(e.what);
        TempDir dir;
        dir.write("skinh.she", "QWidget {}");
        ShellRig rig;
        rig.platform.folder = dir.path().string();
        rig.form.List1.addItem("a.com");
        rig.form.List1.addItem("b.com");
        rig.form.List1.setListIndex(0);
        rig.platform.messageAnswers = {MessageAnswer::No};
        rig.form.Command3.click();
        ASSERT_EQ(rig.form.ended(), true);
        const std::string status = rig.form.status();
        const auto items = rig.form.List1.items();

        e.raise(rig.form);

        EXPECT_EQ(rig.form.status(), status);
        EXPECT_EQ(rig.form.List1.items(), items);
        EXPECT_EQ(rig.form.List1.listIndex(), 0);
        EXPECT_EQ(rig.form.Command1.caption(), "开始采集");
        EXPECT_EQ(rig.form.Timer1.enabled(), false);
        EXPECT_EQ(rig.form.hasIcon(), true);
        EXPECT_EQ(rig.form.Label1.caption(), "删除类型：未查询");
        EXPECT_EQ(rig.platform.messages.size(), 1u);
        EXPECT_EQ(rig.platform.openedUrls, std::vector<std::string>{});
        EXPECT_EQ(rig.platform.popups, 0);
        EXPECT_EQ(rig.platform.clipboard, std::nullopt);
        EXPECT_EQ(rig.platform.clipboardClears, 0);
        EXPECT_EQ(rig.platform.saveDialogs.size(), 0u);
        EXPECT_EQ(rig.platform.pumps, 0);
        EXPECT_EQ(rig.platform.skins, std::vector<std::string>{});
        EXPECT_EQ(rig.platform.endCalls, 1);
    }
}

}  // namespace

// The window's texts stay as they are; only a desktop notification is added, and only when the
// user is not looking at the window.
TEST(HarvestEndNoticeTest, OneNotificationWhenTheWindowIsNotInFrontSayingHowItWent) {
    using jilan::sim::Fault;
    struct Case {
        const char* what;
        const char* pages;
        std::vector<int> failing;
        bool inFront;
        bool busWorks;
        std::vector<std::string> bodies;  // "N" stands for the names the list received
    } cases[] = {
        {"window in front: nothing", "3", {}, true, true, {}},
        {"batch behind other windows", "3", {}, false, true, {"采集完成：共 N 个域名"}},
        {"single page", "1", {}, false, true, {"采集完成：共 N 个域名"}},
        {"some pages failed", "3", {2}, false, true, {"采集完成：共 N 个域名，1 页失败"}},
        {"every page failed", "2", {1, 2}, false, true, {"采集失败：2 页均未取得"}},
        {"no session bus: no dialog", "3", {}, false, false, {"采集完成：共 N 个域名"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        jilan::sim::Options sim;
        sim.rowsPerPage = 7;
        for (int page : c.failing) {
            sim.pageFaults[page] = Fault::Status500;
        }
        jilan::harvest::HarvestOptions harvest;
        harvest.retries = 0;
        harvest.retryPauseMs = 1;
        jilan::testing::HarvestRig rig(sim, harvest);
        rig.platform.inFront = c.inFront;
        rig.platform.notifyWorks = c.busWorks;
        rig.press(c.pages);
        rig.runBatch();

        if (c.failing.empty()) {
            EXPECT_EQ(rig.form.List1.listCount(), 7u * std::stoul(c.pages));
        }
        std::vector<std::string> bodies;
        for (const auto& n : rig.platform.notifications) {
            EXPECT_EQ(n.title, "霁岚域名回收采集器");
            bodies.push_back(n.body);
        }
        std::vector<std::string> expected = c.bodies;
        for (std::string& body : expected) {
            if (const auto at = body.find(" N "); at != std::string::npos) {
                body.replace(at + 1, 1, std::to_string(rig.form.List1.listCount()));
            }
        }
        EXPECT_EQ(bodies, expected);
        EXPECT_EQ(rig.platform.messages.size(), 0u);
    }
}
