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
    void setStatus(std::string text) { S1.setPanelText(2, std::move(text)); }

    // Asks to close the window: raises QueryUnload; the handler decides.
    void requestClose();
    // Ends the program: no event is handled afterwards, the timer stops.
    void end();
    bool ended() const { return ended_; }

    Event<> Load;
    // cancel flag (set non-zero to keep the window open), unload mode
    Event<int&, int> QueryUnload;
    Signal<> endedSignal;

    WorkArray sj;
    std::int16_t ys = 0;

    // Containers first, so that the controls inside them can name them.
    Frame Frame1;
    Frame Frame2;
    Frame Frame3;
    Frame Frame4;

    Button Command5;
    Button Command4;
    Button Command3;
    Button Command2;
    StatusBar S1;
    InetControl Inet2;
    InetControl Inet1;
    HScrollBar HScroll1;
    TextBox Text1;
    SaveDialog C1;
    TimerControl Timer1;
    TextBox Text2;
    Label Label13;
    Label Label12;
    Label Label11;
    Label Label10;
    Label Label9;
    Label Label8;
    Label Label7;
    Label Label6;
    Label Label5;
    Label Label4;
    Line Line9;
    Line Line8;
    Line Line7;
    Label Label3;
    Line Line6;
    Line Line5;
    Line Line4;
    Line Line3;
    Line Line2;
    Line Line1;
    Label Label2;
    Label Label1;
    Button Command1;
    ListBox List1;
    Menu cxcd;
    MenuItem fz;
    MenuItem x1;
    MenuItem cx;
    MenuItem x2;
    MenuItem ydym;

private:
    std::string title_;
    bool hasIcon_ = true;
    bool ended_ = false;
    std::vector<Control*> controls_;
};

}  // namespace jilan::app
