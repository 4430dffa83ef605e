#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "controls.h"
#include "work_array.h"

namespace jilan::app {

inline constexpr const char* kWindowTitle = "霁岚域名回收采集器 v1.3";
inline constexpr const char* kStartCaption = "开始采集";
inline constexpr const char* kStopCaption = "停止采集";
inline constexpr const char* kWelcomeStatus = "欢迎使用霁岚旗下霁岚系列软件 ..";

// The one window: every control under its own name, in its initial state,
// plus the two values the window holds beside them (sj and ys).
class Form1 {
public:
    Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    const std::string& title() const { return title_; }
    int clientWidth() const { return 10110; }
    int clientHeight() const { return 8100; }
    bool hasIcon() const { return hasIcon_; }
    void clearIcon();

    // Every control, in the window's own order.
    const std::vector<Control*>& controls() const { return controls_; }
    Control* find(const std::string& name) const;

    // The status text (panel 2 of S1).
    const std::string& status() const { return S1.panel(2).text; }
    void setStatus(std::string text) {
        ++statusSerial_;
        S1.setPanelText(2, std::move(text));
    }
    // Counts the writes of the status text: whoever wrote it keeps the number and later
    // sees whether anything else has written it since.
    std::uint64_t statusSerial() const { return statusSerial_; }

    // Asks to close the window: raises QueryUnload; the handler decides.
    void requestClose();
    // Ends the program: no event is handled afterwards, the timer stops.
    void end();
    bool ended() const { return ended_; }

    Event<> Load;
    // cancel flag (set non-zero to keep the window open), unload mode
    Event<int&, int> QueryUnload;
    Signal<> endedSignal;
    // The exit question was answered to leave: a listener with unfinished work may ask on its
    // own and set the flag to keep the program running.
    Signal<bool&> leaving;

    // The window's short names, kept so the handlers read like the events they answer:
    //   sj    the work array of texts a handler cuts pages into (see Slot)
    //   ys    the page the running batch asked for last
    //   jl    the batch step (Harvester::jl): one fetched page cut into rows
    //   jx    the row step (Harvester::jx): the rows of the cut listing into List1
    //   csh   the query's reset (QueryCommands::csh): empties sj before a query
    //   cxcd  the list's right-click menu, with fz "复制域名" (copy), cx "查询信息"
    //         (query), ydym "预定域名" (book the domain); x1 and x2 are its separators
    WorkArray sj;
    std::int16_t ys = 0;

    // Containers first, so that the controls inside them can name them.
    Frame Frame1;  // "查询今日已删除域名": holds the domain list
    Frame Frame2;  // "请选择采集的页数": the page count box and its scroll bar
    Frame Frame3;  // "域名信息": the detail and filing captions of the queried domain
    Frame Frame4;  // "whois信息": the whois text

    Button Command5;      // "域名保存": writes the list to a text file
    Button Command4;      // "霁岚官方网站": opens the home page
    Button Command3;      // "退出程序": asks, then ends the program
    Button Command2;      // "霁岚官方论坛": opens the forum
    StatusBar S1;         // status line; panel 2 holds the running status text
    InetControl Inet2;    // transfer control of the detail fetch by menu
    InetControl Inet1;    // transfer control of the list fetches
    HScrollBar HScroll1;  // sets the page count (0..32767) into Text1
    TextBox Text1;        // page count: 1 fetches one page, more runs a batch
    SaveDialog C1;        // the save dialog of Command5
    TimerControl Timer1;  // drives a running batch: one tick, one step, never a wait
    TextBox Text2;        // whois text of the queried domain
    Label Label13;        // "预定截止：" booking deadline
    Label Label12;        // "是否备案：" filing state and number
    Label Label11;        // price cell 4 (under Label7, 保证金)
    Label Label10;        // price cell 3 (under Label6, 折合人民币)
    Label Label9;         // price cell 2 (under Label5, 预定价格)
    Label Label8;         // price cell 1 (under Label4, 预定平台)
    Label Label7;         // column heading "保证金"
    Label Label6;         // column heading "折合人民币"
    Label Label5;         // column heading "预定价格"
    Label Label4;         // column heading "预定平台"
    Line Line9;           // Line1..Line9: the ruling of the price table
    Line Line8;
    Line Line7;
    Label Label3;  // table title "域名价格"
    Line Line6;
    Line Line5;
    Line Line4;
    Line Line3;
    Line Line2;
    Line Line1;
    Label Label2;     // "删除时间：" deletion time
    Label Label1;     // "删除类型：" deletion type
    Button Command1;  // "开始采集"/"停止采集": one page, or starts and stops a batch
    ListBox List1;    // the harvested domains; double-click queries one
    Menu cxcd;        // right-click menu of List1
    MenuItem fz;      // "复制域名"
    MenuItem x1;
    MenuItem cx;  // "查询信息"
    MenuItem x2;
    MenuItem ydym;  // "预定域名": opens the booking page in the browser

private:
    std::uint64_t statusSerial_ = 0;
    std::string title_;
    bool hasIcon_ = true;
    bool ended_ = false;
    std::vector<Control*> controls_;
};

}  // namespace jilan::app
