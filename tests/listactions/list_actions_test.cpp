#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "listactions/list_actions.h"
#include "recording_platform.h"

namespace {

using jilan::app::Form1;

const std::string kBase = "http://market.example:8080";

struct Rig {
    Rig() {
        // The menu items reach the handlers the way the program wires them.
        form.fz.Click.attach([this] { actions.fz_Click(); });
        form.ydym.Click.attach([this] { actions.ydym_Click(); });
    }
    void fill(const std::vector<std::string>& entries, int selected) {
        form.List1.clear();
        for (const auto& e : entries) {
            form.List1.addItem(e);
        }
        form.List1.setListIndex(selected);
    }

    Form1 form;
    jilan::testing::RecordingPlatform platform;
    jilan::listactions::ListActions actions{form, platform, kBase};
};

TEST(ListMenu, OpensOnlyForTheRightButton) {
    struct Case {
        int button;
        int popups;
    } cases[] = {{1, 0}, {2, 1}, {4, 0}, {0, 0}, {3, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        Rig rig;
        rig.fill({"a.com", "b.com"}, 0);
        rig.actions.List1_MouseDown(c.button, 0, 100, 400);
        EXPECT_EQ(rig.platform.popups, c.popups);
        EXPECT_EQ(rig.form.List1.listIndex(), 0);
        EXPECT_EQ(rig.form.status(), jilan::app::kWelcomeStatus);
    }
}

TEST(ListMenu, ItemsActOnTheSelectionNotTheEntryUnderThePointer) {
    Rig rig;
    rig.fill({"a.com", "b.com", "c.com"}, 2);
    std::vector<std::string> shownItems;
    const jilan::app::Menu* popped = nullptr;
    rig.platform.onPopup = [&](jilan::app::Menu& menu) {
        popped = &menu;
        for (const auto* item : menu.items()) {
            shownItems.push_back(item->caption());
        }
        rig.form.fz.Click.raise();
        rig.form.ydym.Click.raise();
    };
    // A right press over the first entry (y near the top of the list).
    rig.actions.List1_MouseDown(2, 0, 200, 30);
    EXPECT_EQ(popped, &rig.form.cxcd);
    EXPECT_EQ(shownItems, (std::vector<std::string>{"复制域名", "-", "查询信息", "-", "预定域名"}));
    EXPECT_EQ(rig.form.List1.listIndex(), 2);
    EXPECT_EQ(rig.platform.clipboard, "c.com");
    EXPECT_EQ(rig.platform.openedUrls, (std::vector<std::string>{kBase + "/backorder/c.com"}));
}

TEST(ListCommands, RefuseWithNothingSelected) {
    struct Case {
        const char* name;
        std::vector<std::string> entries;
    } lists[] = {{"empty list", {}}, {"entries, none selected", {"a.com", "b.com"}}};
    struct Command {
        const char* name;
        std::function<void(jilan::listactions::ListActions&)> run;
    } commands[] = {{"copy", [](auto& a) { a.fz_Click(); }},
                    {"book", [](auto& a) { a.ydym_Click(); }}};
    for (const Case& l : lists) {
        for (const Command& c : commands) {
            SCOPED_TRACE(std::string(l.name) + ", " + c.name);
            Rig rig;
            rig.fill(l.entries, -1);
            rig.platform.clipboard = "earlier";
            c.run(rig.actions);
            EXPECT_EQ(rig.form.status(), "请先进行获取 ..");
            EXPECT_EQ(rig.platform.clipboard, "earlier");
            EXPECT_EQ(rig.platform.clipboardClears, 0);
            EXPECT_TRUE(rig.platform.openedUrls.empty());
            EXPECT_TRUE(rig.platform.messages.empty());
        }
    }
}

TEST(ListCommands, CopyPutsExactlyTheSelectedEntry) {
    const std::string entries[] = {"qiyun4821.com", "中文域名.cn", " spaced.com ",
                                   "a\"b.com",      "x.com\r\ny",  "-x"};
    for (const std::string& entry : entries) {
        SCOPED_TRACE(entry);
        Rig rig;
        rig.fill({"other.com", entry}, 1);
        rig.platform.clipboard = "earlier text";
        rig.actions.fz_Click();
        EXPECT_EQ(rig.platform.clipboardClears, 1);
        EXPECT_EQ(rig.platform.clipboard, entry);
        EXPECT_EQ(rig.form.status(), "域名已复制 ..");
        EXPECT_TRUE(rig.platform.openedUrls.empty());
    }
}

TEST(ListCommands, CopyReportsAnUnavailableClipboard) {
    Rig rig;
    rig.fill({"a.com"}, 0);
    rig.platform.clipboardWorks = false;
    rig.actions.fz_Click();
    EXPECT_EQ(rig.form.status(), "复制失败 .. 剪贴板不可用");
    EXPECT_FALSE(rig.platform.clipboard.has_value());
}

TEST(ListCommands, BookOpensTheBookingPageAndKeepsTheStatus) {
    for (const bool launches : {true, false}) {
        SCOPED_TRACE(launches ? "browser starts" : "browser fails");
        Rig rig;
        rig.fill({"a.com", "qiyun4821.com"}, 1);
        rig.form.setStatus("采集完毕 ..");
        rig.platform.launchWorks = launches;
        rig.actions.ydym_Click();
        ASSERT_EQ(rig.platform.openedUrls.size(), 1U);
        EXPECT_EQ(rig.platform.openedUrls[0], "http://market.example:8080/backorder/qiyun4821.com");
        EXPECT_EQ(rig.form.status(), "采集完毕 ..");
        EXPECT_TRUE(rig.platform.messages.empty());
    }
}

TEST(ListCommands, BookEncodesHostileEntries) {
    struct Case {
        std::string entry;
        std::string tail;  // behind "/backorder/"
    } cases[] = {
        {"a b.com", "a%20b.com"},
        {"a\"b.com", "a%22b.com"},
        {"x.com\" & calc", "x.com%22%20%26%20calc"},
        {"x.com&calc", "x.com%26calc"},
        {"x.com\r\nHost: evil", "x.com%0D%0AHost%3A%20evil"},
        {"-x", "-x"},
        {"--new-window file:///etc/passwd", "--new-window%20file%3A%2F%2F%2Fetc%2Fpasswd"},
        {"a|b.com", "a%7Cb.com"},
        {"a;rm -rf ~.com", "a%3Brm%20-rf%20~.com"},
        {"$(id).com", "%24%28id%29.com"},
        {"'q'.com", "%27q%27.com"},
        {"../../x", "..%2F..%2Fx"},
        {"中文.cn", "%E4%B8%AD%E6%96%87.cn"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tail);
        Rig rig;
        rig.fill({c.entry}, 0);
        rig.actions.ydym_Click();
        ASSERT_EQ(rig.platform.openedUrls.size(), 1U);
        const std::string& url = rig.platform.openedUrls[0];
        EXPECT_EQ(url, kBase + "/backorder/" + c.tail);
        EXPECT_EQ(url.find_first_of(" \t\r\n\"'"), std::string::npos);
    }
}

TEST(ListCommands, BookOpensNothingButHttpAndHttps) {
    struct Case {
        std::string base;
        bool opens;
    } cases[] = {
        {"http://m.example", true},
        {"https://m.example", true},
        {"file:///etc", false},
        {"javascript:alert(1)//", false},
        {"", false},
        {"http://bad host", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        Form1 form;
        jilan::testing::RecordingPlatform platform;
        jilan::listactions::ListActions actions(form, platform, c.base);
        form.List1.addItem("a.com");
        form.List1.setListIndex(0);
        actions.ydym_Click();
        EXPECT_EQ(platform.openedUrls.size(), c.opens ? 1U : 0U);
    }
}

}  // namespace
