#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "app/form1.h"

namespace {

namespace app = jilan::app;
using app::Alignment;
using app::ControlKind;
using app::ScrollBars;

static_assert(std::is_same_v<decltype(app::Form1::ys), std::int16_t>,
              "the batch page counter is a 16-bit signed integer");

struct LabelProps {
    Alignment alignment;
    bool autoSize;
};
struct TextProps {
    bool multiLine;
    ScrollBars scrollBars;
};
struct ScrollProps {
    int min, max, value, smallChange, largeChange;
};
struct TimerProps {
    int interval;
    bool enabled;
};
struct InetProps {
    int port;
    int timeoutSeconds;
};

// One row of the window's control table. Position is Left, Top, Width, Height,
// or X1, Y1, X2, Y2 for a line; nullopt for controls that are not drawn.
struct Row {
    const char* name;
    ControlKind kind;
    const char* container;  // "" for the window itself
    const char* text;       // caption or text; "" for kinds without one
    std::optional<std::array<int, 4>> position;
    std::optional<int> tab;
    std::optional<LabelProps> label{};
    std::optional<TextProps> textBox{};
    std::optional<ScrollProps> scroll{};
    std::optional<app::Colour> lineColour{};
    std::optional<TimerProps> timer{};
    const char* filter = nullptr;
    std::optional<InetProps> inet{};
    std::optional<bool> menuVisible{};
};

constexpr app::Colour kDarkGrey{64, 64, 64, false};
constexpr app::Colour kDefaultLine{0, 0, 0, true};
constexpr LabelProps kAutoLeft{Alignment::Left, true};
constexpr LabelProps kCentred{Alignment::Centre, false};
constexpr ControlKind B = ControlKind::Button;
constexpr ControlKind F = ControlKind::Frame;
constexpr ControlKind I = ControlKind::MenuItem;
constexpr auto kNone = std::nullopt;

Row label(const char* name, const char* text, std::array<int, 4> pos, int tab, LabelProps p) {
    return {.name = name,
            .kind = ControlKind::Label,
            .container = "Frame3",
            .text = text,
            .position = pos,
            .tab = tab,
            .label = p};
}
Row line(const char* name, std::array<int, 4> ends, app::Colour colour) {
    return {.name = name,
            .kind = ControlKind::Line,
            .container = "Frame3",
            .text = "",
            .position = ends,
            .tab = kNone,
            .lineColour = colour};
}
Row inet(const char* name) {
    return {.name = name,
            .kind = ControlKind::InetControl,
            .container = "",
            .text = "",
            .position = kNone,
            .tab = kNone,
            .inet = InetProps{80, 60}};
}

// Written out by hand from the control table, in the window's own order.
const std::vector<Row>& controlTable() {
    static const std::vector<Row> rows{
        {"Command5", B, "", "域名保存", {{1800, 6480, 1575, 615}}, 26},
        {"Command4", B, "", "霁岚官方网站", {{3600, 6480, 2175, 615}}, 25},
        {"Command3", B, "", "退出程序", {{7800, 6480, 2055, 615}}, 24},
        {"Command2", B, "", "霁岚官方论坛", {{5760, 6480, 2055, 615}}, 23},
        {"S1", ControlKind::StatusBar, "", "", {{0, 7485, 10110, 615}}, 22},
        inet("Inet2"),
        inet("Inet1"),
        {"Frame2", F, "", "请选择采集的页数", {{240, 5400, 3135, 855}}, 4},
        {.name = "HScroll1",
         .kind = ControlKind::HScrollBar,
         .container = "Frame2",
         .text = "",
         .position = {{2280, 360, 495, 255}},
         .tab = 6,
         .scroll = ScrollProps{0, 32767, 0, 1, 1}},
        {.name = "Text1",
         .kind = ControlKind::TextBox,
         .container = "Frame2",
         .text = "1",
         .position = {{360, 360, 1695, 270}},
         .tab = 5,
         .textBox = TextProps{false, ScrollBars::None}},
        {"Frame3", F, "", "域名信息 [双击域名列表查看相关信息]", {{3600, 120, 6255, 6135}}, 3},
        {"Frame4", F, "Frame3", "whois信息", {{240, 3120, 5775, 2775}}, 20},
        {.name = "C1",
         .kind = ControlKind::SaveDialog,
         .container = "Frame4",
         .text = "",
         .position = kNone,
         .tab = kNone,
         .filter = "文本文件|*.txt"},
        {.name = "Timer1",
         .kind = ControlKind::Timer,
         .container = "Frame4",
         .text = "",
         .position = kNone,
         .tab = kNone,
         .timer = TimerProps{1, false}},
        {.name = "Text2",
         .kind = ControlKind::TextBox,
         .container = "Frame4",
         .text = "",
         .position = {{120, 240, 5535, 2415}},
         .tab = 21,
         .textBox = TextProps{true, ScrollBars::Vertical}},
        label("Label13", "预定截止：未查询", {2760, 480, 1440, 180}, 19, kAutoLeft),
        label("Label12", "是否备案：未查询", {2760, 840, 1440, 180}, 18, kAutoLeft),
        label("Label11", "未查询", {4560, 2550, 1455, 255}, 17, kCentred),
        label("Label10", "未查询", {3120, 2550, 1455, 255}, 16, kCentred),
        label("Label9", "未查询", {1680, 2550, 1455, 255}, 15, kCentred),
        label("Label8", "未查询", {240, 2550, 1455, 255}, 14, kCentred),
        label("Label7", "保证金", {4560, 2070, 1455, 255}, 13, kCentred),
        label("Label6", "折合人民币", {3120, 2070, 1455, 255}, 12, kCentred),
        label("Label5", "预定价格", {1680, 2070, 1455, 255}, 11, kCentred),
        label("Label4", "预定平台", {240, 2070, 1455, 255}, 10, kCentred),
        line("Line9", {4560, 1920, 4560, 2880}, kDefaultLine),
        line("Line8", {3120, 1920, 3120, 2880}, kDefaultLine),
        line("Line7", {1680, 1920, 1680, 2880}, kDefaultLine),
        label("Label3", "域名价格", {240, 1600, 5775, 255}, 9, kCentred),
        line("Line6", {6000, 1440, 6000, 2910}, kDarkGrey),
        line("Line5", {240, 1440, 240, 2880}, kDarkGrey),
        line("Line4", {240, 2880, 6000, 2880}, kDarkGrey),
        line("Line3", {240, 2400, 6000, 2400}, kDarkGrey),
        line("Line2", {240, 1920, 6000, 1920}, kDarkGrey),
        line("Line1", {240, 1440, 6000, 1440}, kDarkGrey),
        label("Label2", "删除时间：未查询", {240, 840, 1440, 180}, 8, kAutoLeft),
        label("Label1", "删除类型：未查询", {240, 480, 1440, 180}, 7, kAutoLeft),
        {"Command1", B, "", "开始采集", {{240, 6480, 1575, 615}}, 1},
        {"Frame1", F, "", "查询今日已删除域名", {{240, 120, 3135, 5175}}, 0},
        {"List1", ControlKind::ListBox, "Frame1", "", {{120, 240, 2895, 4740}}, 2},
        {.name = "cxcd",
         .kind = ControlKind::Menu,
         .container = "",
         .text = "程序菜单",
         .position = kNone,
         .tab = kNone,
         .menuVisible = false},
        {"fz", I, "cxcd", "复制域名", kNone, kNone},
        {"x1", I, "cxcd", "-", kNone, kNone},
        {"cx", I, "cxcd", "查询信息", kNone, kNone},
        {"x2", I, "cxcd", "-", kNone, kNone},
        {"ydym", I, "cxcd", "预定域名", kNone, kNone},
    };
    return rows;
}

// The caption or text a control shows; "" for kinds that have none.
std::string textOf(const app::Control& c) {
    if (auto* b = dynamic_cast<const app::Button*>(&c)) {
        return b->caption();
    }
    if (auto* l = dynamic_cast<const app::Label*>(&c)) {
        return l->caption();
    }
    if (auto* t = dynamic_cast<const app::TextBox*>(&c)) {
        return t->text();
    }
    if (auto* f = dynamic_cast<const app::Frame*>(&c)) {
        return f->caption();
    }
    if (auto* m = dynamic_cast<const app::Menu*>(&c)) {
        return m->caption();
    }
    if (auto* i = dynamic_cast<const app::MenuItem*>(&c)) {
        return i->caption();
    }
    return "";
}

void checkRow(const app::Form1& form, const Row& row, const app::Control& c) {
    EXPECT_EQ(c.name(), row.name);
    EXPECT_EQ(c.kind(), row.kind);
    EXPECT_EQ(form.find(row.name), &c);
    EXPECT_EQ(c.container() ? c.container()->name() : std::string(), row.container);
    EXPECT_EQ(textOf(c), row.text);
    EXPECT_EQ(c.tabIndex(), row.tab);
    EXPECT_EQ(c.drawn(), row.position.has_value());

    if (row.kind == ControlKind::Line) {
        const auto& line = dynamic_cast<const app::Line&>(c);
        ASSERT_TRUE(row.position.has_value());
        const auto& p = *row.position;
        EXPECT_EQ((std::array<int, 4>{line.x1(), line.y1(), line.x2(), line.y2()}), p);
        EXPECT_EQ(line.colour(), row.lineColour.value());
    } else if (row.position) {
        const auto& p = *row.position;
        EXPECT_EQ(c.geometry(), (app::Geometry{p[0], p[1], p[2], p[3]}));
    }
    if (auto* b = dynamic_cast<const app::Button*>(&c)) {
        EXPECT_EQ(b->enabled(), true);
    }
    if (row.label) {
        const auto& l = dynamic_cast<const app::Label&>(c);
        EXPECT_EQ(l.alignment(), row.label->alignment);
        EXPECT_EQ(l.autoSize(), row.label->autoSize);
        EXPECT_EQ(l.transparent(), true);
    }
    if (row.textBox) {
        const auto& t = dynamic_cast<const app::TextBox&>(c);
        EXPECT_EQ(t.multiLine(), row.textBox->multiLine);
        EXPECT_EQ(t.scrollBars(), row.textBox->scrollBars);
        EXPECT_EQ(t.enabled(), true);
    }
    if (row.scroll) {
        const auto& s = dynamic_cast<const app::HScrollBar&>(c);
        EXPECT_EQ(s.min(), row.scroll->min);
        EXPECT_EQ(s.max(), row.scroll->max);
        EXPECT_EQ(s.value(), row.scroll->value);
        EXPECT_EQ(s.smallChange(), row.scroll->smallChange);
        EXPECT_EQ(s.largeChange(), row.scroll->largeChange);
    }
    if (row.timer) {
        const auto& t = dynamic_cast<const app::TimerControl&>(c);
        EXPECT_EQ(t.interval(), row.timer->interval);
        EXPECT_EQ(t.enabled(), row.timer->enabled);
    }
    if (row.filter) {
        const auto& d = dynamic_cast<const app::SaveDialog&>(c);
        EXPECT_EQ(d.filter(), row.filter);
        EXPECT_EQ(d.dialogTitle(), "");
        EXPECT_EQ(d.fileName(), "");
        EXPECT_EQ(d.cancelError(), false);
        EXPECT_EQ(d.maxFileSize(), 260);
    }
    if (row.inet) {
        const auto& i = dynamic_cast<const app::InetControl&>(c);
        EXPECT_EQ(i.remotePort(), row.inet->port);
        EXPECT_EQ(i.requestTimeoutSeconds(), row.inet->timeoutSeconds);
    }
    if (row.menuVisible) {
        EXPECT_EQ(dynamic_cast<const app::Menu&>(c).visible(), *row.menuVisible);
    }
    if (auto* list = dynamic_cast<const app::ListBox*>(&c)) {
        EXPECT_EQ(list->listCount(), 0u);
        EXPECT_EQ(list->listIndex(), -1);
        EXPECT_EQ(list->text(), "");
    }
}

TEST(InitialStateTest, EveryControlMatchesTheControlTableInTheWindowsOrder) {
    const app::Form1 form;
    const auto& rows = controlTable();
    const auto& controls = form.controls();
    ASSERT_EQ(controls.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        checkRow(form, rows[i], *controls[i]);
    }
    EXPECT_EQ(form.find("Form1"), nullptr);
    EXPECT_EQ(form.find("Label14"), nullptr);
}

TEST(InitialStateTest, WindowStatusBarAndWorkValues) {
    const app::Form1 form;
    EXPECT_EQ(form.title(), "霁岚域名回收采集器 v1.3");
    EXPECT_EQ(form.clientWidth(), 10110);
    EXPECT_EQ(form.clientHeight(), 8100);
    EXPECT_EQ(form.hasIcon(), true);
    EXPECT_EQ(form.ended(), false);

    struct PanelRow {
        const char* text;
        int width;
    } panels[] = {
        {"运行状态：", 1440}, {"欢迎使用霁岚旗下霁岚系列软件 ..", 7170}, {"霁岚出品", 1440}};
    ASSERT_EQ(form.S1.panelCount(), 3u);
    for (std::size_t n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(form.S1.panel(n).text, panels[n - 1].text);
        EXPECT_EQ(form.S1.panel(n).width, panels[n - 1].width);
    }
    EXPECT_EQ(form.status(), "欢迎使用霁岚旗下霁岚系列软件 ..");
    EXPECT_THROW(form.S1.panel(4), std::out_of_range);

    // The popup menu holds its items in order, each naming the menu as its container.
    std::vector<std::string> names;
    std::vector<std::string> captions;
    std::vector<bool> separators;
    for (const app::MenuItem* item : form.cxcd.items()) {
        names.push_back(item->name());
        captions.push_back(item->caption());
        separators.push_back(item->separator());
        EXPECT_EQ(item->container(), &form.cxcd);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"fz", "x1", "cx", "x2", "ydym"}));
    EXPECT_EQ(captions, (std::vector<std::string>{"复制域名", "-", "查询信息", "-", "预定域名"}));
    EXPECT_EQ(separators, (std::vector<bool>{false, true, false, true, false}));

    EXPECT_EQ(app::WorkArray::kSize, 36u);
    for (std::size_t i = 0; i < app::WorkArray::kSize; ++i) {
        EXPECT_EQ(form.sj.at(i), "") << "slot " << i;
    }
    EXPECT_THROW(form.sj.at(36), std::out_of_range);
    EXPECT_EQ(form.ys, 0);
}

TEST(WorkArrayTest, ClearEmptiesEverySlot) {
    app::Form1 form;
    for (std::size_t i = 0; i < app::WorkArray::kSize; ++i) {
        form.sj.at(i) = "v" + std::to_string(i);
    }
    form.sj[app::Slot::FilingNumber] = "京ICP备1号";
    EXPECT_EQ(form.sj.at(31), "京ICP备1号");
    EXPECT_EQ(form.sj.allEmpty(), false);
    form.sj.clear();
    EXPECT_EQ(form.sj.allEmpty(), true);
    for (std::size_t i = 0; i < app::WorkArray::kSize; ++i) {
        EXPECT_EQ(form.sj.at(i), "") << "slot " << i;
    }
}

}  // namespace
