#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/form1.h"

namespace {

namespace app = jilan::app;

TEST(TextBoxChangeTest, RaisedOncePerActualChangeWithTheNewTextInPlace) {
    struct Step {
        const char* written;
        int changesSoFar;
    } steps[] = {
        {"1", 0},    // the initial text: no change
        {"2", 1},    // typed or written alike
        {"2", 1},    // same text again: nothing
        {"", 2},     // emptied
        {"", 2},     //
        {"12", 3},   //
        {"12 ", 4},  // a trailing space is a change
    };
    app::Form1 form;
    std::vector<std::string> seen;
    form.Text1.Change.attach([&] { seen.push_back(form.Text1.text()); });
    int viewUpdates = 0;
    form.Text1.changed.connect([&] { ++viewUpdates; });
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string("write \"") + s.written + "\"");
        form.Text1.setText(s.written);
        EXPECT_EQ(form.Text1.text(), s.written);
        EXPECT_EQ(static_cast<int>(seen.size()), s.changesSoFar);
        EXPECT_EQ(viewUpdates, s.changesSoFar);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"2", "", "12", "12 "}));
}

TEST(TextBoxChangeTest, HandlerWritingTheBoxRunsOnceMoreAndSettles) {
    app::Form1 form;
    std::vector<std::string> seen;
    // Like a handler that refuses an empty page count.
    form.Text1.Change.attach([&] {
        seen.push_back(form.Text1.text());
        if (form.Text1.text().empty()) {
            form.Text1.setText("1");
        }
    });
    form.Text1.setText("5");
    form.Text1.setText("");
    EXPECT_EQ(seen, (std::vector<std::string>{"5", "", "1"}));
    EXPECT_EQ(form.Text1.text(), "1");
}

TEST(TextBoxChangeTest, ScrollBarHandlerWritingTheBoxRaisesItsChange) {
    app::Form1 form;
    std::vector<std::string> order;
    form.HScroll1.Change.attach([&] {
        order.push_back("HScroll1=" + std::to_string(form.HScroll1.value()));
        form.Text1.setText(std::to_string(form.HScroll1.value()));
    });
    form.Text1.Change.attach([&] { order.push_back("Text1=" + form.Text1.text()); });
    form.HScroll1.setValue(1);  // "1" is already there: no Text1 change
    form.HScroll1.setValue(2);
    EXPECT_EQ(order, (std::vector<std::string>{"HScroll1=1", "HScroll1=2", "Text1=2"}));
}

TEST(ScrollBarChangeTest, ValueIsClampedAndOnlyARealChangeIsRaised) {
    struct Step {
        int written;
        int value;
        int changesSoFar;
    } steps[] = {
        {0, 0, 0},  // the initial value
        {1, 1, 1},           {1, 1, 1},         {-1, 0, 2},
        {-50, 0, 2},         {32767, 32767, 3}, {32768, 32767, 3},
        {INT_MAX, 32767, 3}, {INT_MIN, 0, 4},   {32766, 32766, 5},
    };
    app::Form1 form;
    std::vector<int> seen;
    form.HScroll1.Change.attach([&] { seen.push_back(form.HScroll1.value()); });
    for (const Step& s : steps) {
        SCOPED_TRACE(s.written);
        form.HScroll1.setValue(s.written);
        EXPECT_EQ(form.HScroll1.value(), s.value);
        EXPECT_EQ(static_cast<int>(seen.size()), s.changesSoFar);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 32767, 0, 32766}));
}

TEST(ButtonClickTest, UserClickNeedsEnabledButRaisingDoesNot) {
    struct Case {
        bool enabled;
        int afterUserClick;
        int afterRaise;
    } cases[] = {{true, 1, 2}, {false, 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.enabled ? "enabled" : "disabled");
        app::Form1 form;
        int clicks = 0;
        form.Command1.Click.attach([&] { ++clicks; });
        form.Command1.setEnabled(c.enabled);
        form.Command1.click();
        EXPECT_EQ(clicks, c.afterUserClick);
        form.Command1.Click.raise();
        EXPECT_EQ(clicks, c.afterRaise);
    }
}

TEST(TimerTest, TicksRaiseTimerOnlyWhileEnabled) {
    struct Step {
        const char* action;
        int ticksSoFar;
    } steps[] = {{"tick", 0},    {"enable", 0}, {"tick", 1},   {"tick", 2},
                 {"disable", 2}, {"tick", 2},   {"enable", 2}, {"tick", 3}};
    app::Form1 form;
    int ticks = 0;
    form.Timer1.Timer.attach([&] { ++ticks; });
    for (const Step& s : steps) {
        SCOPED_TRACE(s.action);
        const std::string action = s.action;
        if (action == "tick") {
            form.Timer1.tick();
        } else {
            form.Timer1.setEnabled(action == "enable");
        }
        EXPECT_EQ(ticks, s.ticksSoFar);
    }
}

// Writes a view must draw notify it once, and only when something changed.
TEST(ViewNotificationTest, ChangedFiresOncePerRealWrite) {
    struct Case {
        const char* what;
        void (*write)(app::Form1&, int);  // int: which of two values
        app::Control& (*control)(app::Form1&);
    } cases[] = {
        {"button caption",
         [](app::Form1& f, int v) { f.Command1.setCaption(v ? "停止采集" : "开始采集"); },
         [](app::Form1& f) -> app::Control& { return f.Command1; }},
        {"button enabled", [](app::Form1& f, int v) { f.Command1.setEnabled(v == 0); },
         [](app::Form1& f) -> app::Control& { return f.Command1; }},
        {"label caption",
         [](app::Form1& f, int v) {
             f.Label12.setCaption(v ? "是否备案：已备案" : "是否备案：未查询");
         },
         [](app::Form1& f) -> app::Control& { return f.Label12; }},
        {"text box enabled", [](app::Form1& f, int v) { f.Text1.setEnabled(v == 0); },
         [](app::Form1& f) -> app::Control& { return f.Text1; }},
        {"status text",
         [](app::Form1& f, int v) { f.setStatus(v ? "采集完毕 .." : app::kWelcomeStatus); },
         [](app::Form1& f) -> app::Control& { return f.S1; }},
        {"timer enabled", [](app::Form1& f, int v) { f.Timer1.setEnabled(v == 1); },
         [](app::Form1& f) -> app::Control& { return f.Timer1; }},
        {"scroll value", [](app::Form1& f, int v) { f.HScroll1.setValue(v); },
         [](app::Form1& f) -> app::Control& { return f.HScroll1; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app::Form1 form;
        int notes = 0;
        c.control(form).changed.connect([&] { ++notes; });
        c.write(form, 0);  // the initial value: nothing to draw
        EXPECT_EQ(notes, 0);
        c.write(form, 1);
        EXPECT_EQ(notes, 1);
        c.write(form, 1);
        EXPECT_EQ(notes, 1);
        c.write(form, 0);
        EXPECT_EQ(notes, 2);
    }
}

enum class Op { Append, Clear, Select };

struct ListStep {
    Op op;
    std::string item;  // Append
    int index;         // Select
    std::vector<std::string> items;
    int listIndex;
    std::string text;
    std::vector<std::string> signals;  // emitted by this step
};

TEST(ListBoxTest, AppendClearSelectAndTheirSignals) {
    const ListStep steps[] = {
        {Op::Select, "", 0, {}, -1, "", {}},  // nothing to select
        {Op::Append, "b.com", 0, {"b.com"}, -1, "", {"appended 0"}},
        {Op::Append, "a.com", 0, {"b.com", "a.com"}, -1, "", {"appended 1"}},
        {Op::Append, "b.com", 0, {"b.com", "a.com", "b.com"}, -1, "", {"appended 2"}},
        {Op::Select, "", 1, {"b.com", "a.com", "b.com"}, 1, "a.com", {"selection 1"}},
        {Op::Select, "", 1, {"b.com", "a.com", "b.com"}, 1, "a.com", {}},
        {Op::Select, "", 2, {"b.com", "a.com", "b.com"}, 2, "b.com", {"selection 2"}},
        {Op::Append, "c.com", 0, {"b.com", "a.com", "b.com", "c.com"}, 2, "b.com", {"appended 3"}},
        {Op::Select, "", 4, {"b.com", "a.com", "b.com", "c.com"}, -1, "", {"selection -1"}},
        {Op::Select, "", 3, {"b.com", "a.com", "b.com", "c.com"}, 3, "c.com", {"selection 3"}},
        {Op::Select, "", -2, {"b.com", "a.com", "b.com", "c.com"}, -1, "", {"selection -1"}},
        {Op::Select, "", 0, {"b.com", "a.com", "b.com", "c.com"}, 0, "b.com", {"selection 0"}},
        {Op::Clear, "", 0, {}, -1, "", {"cleared", "selection -1"}},
        {Op::Clear, "", 0, {}, -1, "", {"cleared"}},
        {Op::Append, "", 0, {""}, -1, "", {"appended 0"}},
        {Op::Select, "", 0, {""}, 0, "", {"selection 0"}},
    };
    app::Form1 form;
    app::ListBox& list = form.List1;
    std::vector<std::string> log;
    list.itemAppended.connect(
        [&](std::size_t i) { log.push_back("appended " + std::to_string(i)); });
    list.itemsCleared.connect([&] { log.push_back("cleared"); });
    list.selectionChanged.connect([&](int i) { log.push_back("selection " + std::to_string(i)); });

    int n = 0;
    for (const ListStep& s : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        log.clear();
        switch (s.op) {
            case Op::Append:
                list.addItem(s.item);
                break;
            case Op::Clear:
                list.clear();
                break;
            case Op::Select:
                list.setListIndex(s.index);
                break;
        }
        EXPECT_EQ(list.items(), s.items);
        EXPECT_EQ(list.listCount(), s.items.size());
        for (std::size_t i = 0; i < s.items.size(); ++i) {
            EXPECT_EQ(list.list(i), s.items[i]);
            EXPECT_EQ(list.selected(i), static_cast<int>(i) == s.listIndex) << "item " << i;
        }
        EXPECT_THROW(list.list(s.items.size()), std::out_of_range);
        EXPECT_EQ(list.listIndex(), s.listIndex);
        EXPECT_EQ(list.text(), s.text);
        EXPECT_EQ(log, s.signals);
    }
}

TEST(ListBoxTest, MouseAndDoubleClickEventsCarryTheirArguments) {
    app::Form1 form;
    std::vector<std::vector<int>> presses;
    int doubleClicks = 0;
    form.List1.MouseDown.attach([&](int button, int shift, int x, int y) {
        presses.push_back({button, shift, x, y});
    });
    form.List1.DblClick.attach([&] { ++doubleClicks; });
    form.List1.MouseDown.raise(1, 0, 15, 30);
    form.List1.MouseDown.raise(2, 1, 450, 1200);
    form.List1.DblClick.raise();
    EXPECT_EQ(presses, (std::vector<std::vector<int>>{{1, 0, 15, 30}, {2, 1, 450, 1200}}));
    EXPECT_EQ(doubleClicks, 1);
}

TEST(UnhandledEventTest, RaisingWithoutAHandlerChangesNothing) {
    app::Form1 form;
    int cancel = 0;
    form.Command1.Click.raise();
    form.Text1.setText("3");
    form.HScroll1.setValue(4);
    form.List1.MouseDown.raise(2, 0, 1, 1);
    form.List1.DblClick.raise();
    form.cx.Click.raise();
    form.Load.raise();
    form.QueryUnload.raise(cancel, 0);
    EXPECT_EQ(cancel, 0);
    EXPECT_EQ(form.Text1.text(), "3");
    EXPECT_EQ(form.HScroll1.value(), 4);
    EXPECT_EQ(form.status(), app::kWelcomeStatus);
    EXPECT_EQ(form.hasIcon(), true);
    EXPECT_EQ(form.ended(), false);
}

TEST(FormCloseTest, CloseAsksTheHandlerAndEndsUnlessCancelled) {
    struct Case {
        const char* what;
        int cancelSetTo;  // -1: handler leaves the flag alone
        bool ended;
    } cases[] = {{"kept open", 1, false},
                 {"any non-zero keeps it", -7, false},
                 {"handler lets it close", -1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app::Form1 form;
        int asked = 0;
        int endedSignals = 0;
        form.endedSignal.connect([&] { ++endedSignals; });
        form.QueryUnload.attach([&](int& cancel, int) {
            ++asked;
            if (c.cancelSetTo != -1) {
                cancel = c.cancelSetTo;
            }
        });
        form.Timer1.setEnabled(true);
        form.requestClose();
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(form.ended(), c.ended);
        EXPECT_EQ(endedSignals, c.ended ? 1 : 0);
        // Ending stops the timer; a window kept open keeps it running.
        EXPECT_EQ(form.Timer1.enabled(), !c.ended);

        // A second close asks again only while the window lives; ending twice is once.
        form.requestClose();
        EXPECT_EQ(asked, c.ended ? 1 : 2);
        form.end();
        form.end();
        EXPECT_EQ(endedSignals, 1);
    }
}

}  // namespace
