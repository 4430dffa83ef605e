#include "form1.h"

namespace jilan::app {

namespace {

constexpr Colour kDarkGrey{64, 64, 64, false};
constexpr Colour kDefaultColour{0, 0, 0, true};

}  // namespace

Form1::Form1()
    : Frame1("Frame1", nullptr, {240, 120, 3135, 5175}, 0, "查询今日已删除域名"),
      Frame2("Frame2", nullptr, {240, 5400, 3135, 855}, 4, "请选择采集的页数"),
      Frame3("Frame3", nullptr, {3600, 120, 6255, 6135}, 3, "域名信息 [双击域名列表查看相关信息]"),
      Frame4("Frame4", &Frame3, {240, 3120, 5775, 2775}, 20, "whois信息"),
      Command5("Command5", nullptr, {1800, 6480, 1575, 615}, 26, "域名保存"),
      Command4("Command4", nullptr, {3600, 6480, 2175, 615}, 25, "霁岚官方网站"),
      Command3("Command3", nullptr, {7800, 6480, 2055, 615}, 24, "退出程序"),
      Command2("Command2", nullptr, {5760, 6480, 2055, 615}, 23, "霁岚官方论坛"),
      S1("S1", nullptr, {0, 7485, 10110, 615}, 22,
         {{"运行状态：", 1440}, {kWelcomeStatus, 7170}, {"霁岚出品", 1440}}),
      Inet2("Inet2", nullptr),
      Inet1("Inet1", nullptr),
      HScroll1("HScroll1", &Frame2, {2280, 360, 495, 255}, 6, 0, 32767, 0, 1, 1),
      Text1("Text1", &Frame2, {360, 360, 1695, 270}, 5, "1", false, ScrollBars::None),
      C1("C1", &Frame4, "文本文件|*.txt"),
      Timer1("Timer1", &Frame4, 1),
      Text2("Text2", &Frame4, {120, 240, 5535, 2415}, 21, "", true, ScrollBars::Vertical),
      Label13("Label13", &Frame3, {2760, 480, 1440, 180}, 19, "预定截止：未查询", Alignment::Left,
              true),
      Label12("Label12", &Frame3, {2760, 840, 1440, 180}, 18, "是否备案：未查询", Alignment::Left,
              true),
      Label11("Label11", &Frame3, {4560, 2550, 1455, 255}, 17, "未查询", Alignment::Centre, false),
      Label10("Label10", &Frame3, {3120, 2550, 1455, 255}, 16, "未查询", Alignment::Centre, false),
      Label9("Label9", &Frame3, {1680, 2550, 1455, 255}, 15, "未查询", Alignment::Centre, false),
      Label8("Label8", &Frame3, {240, 2550, 1455, 255}, 14, "未查询", Alignment::Centre, false),
      Label7("Label7", &Frame3, {4560, 2070, 1455, 255}, 13, "保证金", Alignment::Centre, false),
      Label6("Label6", &Frame3, {3120, 2070, 1455, 255}, 12, "折合人民币", Alignment::Centre,
             false),
      Label5("Label5", &Frame3, {1680, 2070, 1455, 255}, 11, "预定价格", Alignment::Centre, false),
      Label4("Label4", &Frame3, {240, 2070, 1455, 255}, 10, "预定平台", Alignment::Centre, false),
      Line9("Line9", &Frame3, 4560, 1920, 4560, 2880, kDefaultColour),
      Line8("Line8", &Frame3, 3120, 1920, 3120, 2880, kDefaultColour),
      Line7("Line7", &Frame3, 1680, 1920, 1680, 2880, kDefaultColour),
      Label3("Label3", &Frame3, {240, 1600, 5775, 255}, 9, "域名价格", Alignment::Centre, false),
      Line6("Line6", &Frame3, 6000, 1440, 6000, 2910, kDarkGrey),
      Line5("Line5", &Frame3, 240, 1440, 240, 2880, kDarkGrey),
      Line4("Line4", &Frame3, 240, 2880, 6000, 2880, kDarkGrey),
      Line3("Line3", &Frame3, 240, 2400, 6000, 2400, kDarkGrey),
      Line2("Line2", &Frame3, 240, 1920, 6000, 1920, kDarkGrey),
      Line1("Line1", &Frame3, 240, 1440, 6000, 1440, kDarkGrey),
      Label2("Label2", &Frame3, {240, 840, 1440, 180}, 8, "删除时间：未查询", Alignment::Left,
             true),
      Label1("Label1", &Frame3, {240, 480, 1440, 180}, 7, "删除类型：未查询", Alignment::Left,
             true),
      Command1("Command1", nullptr, {240, 6480, 1575, 615}, 1, kStartCaption),
      List1("List1", &Frame1, {120, 240, 2895, 4740}, 2),
      cxcd("cxcd", nullptr, "程序菜单", false),
      fz("fz", &cxcd, "复制域名"),
      x1("x1", &cxcd, "-"),
      cx("cx", &cxcd, "查询信息"),
      x2("x2", &cxcd, "-"),
      ydym("ydym", &cxcd, "预定域名"),
      title_(kWindowTitle) {
    for (MenuItem* item : {&fz, &x1, &cx, &x2, &ydym}) {
        cxcd.addItem(item);
    }
    controls_ = {&Command5, &Command4, &Command3, &Command2, &S1,     &Inet2,    &Inet1,  &Frame2,
                 &HScroll1, &Text1,    &Frame3,   &Frame4,   &C1,     &Timer1,   &Text2,  &Label13,
                 &Label12,  &Label11,  &Label10,  &Label9,   &Label8, &Label7,   &Label6, &Label5,
                 &Label4,   &Line9,    &Line8,    &Line7,    &Label3, &Line6,    &Line5,  &Line4,
                 &Line3,    &Line2,    &Line1,    &Label2,   &Label1, &Command1, &Frame1, &List1,
                 &cxcd,     &fz,       &x1,       &cx,       &x2,     &ydym};
}

void Form1::clearIcon() {
    hasIcon_ = false;
}

Control* Form1::find(const std::string& name) const {
    for (Control* c : controls_) {
        if (c->name() == name) {
            return c;
        }
    }
    return nullptr;
}

void Form1::requestClose() {
    if (ended_) {
        return;
    }
    int cancel = 0;
    QueryUnload.raise(cancel, 0);
    // Closing the only window ends the program unless the handler kept it open.
    if (cancel == 0) {
        end();
    }
}

void Form1::end() {
    if (ended_) {
        return;
    }
    ended_ = true;
    Timer1.setEnabled(false);
    endedSignal.emit();
}

}  // namespace jilan::app
