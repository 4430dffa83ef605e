#pragma once

#include "config/urls.h"
#include "form1.h"
#include "platform.h"

namespace jilan::app {

inline constexpr const char* kExitPrompt =
    "感谢您对霁岚、对霁岚系列的软件的支持!\r \r是否退出并到论坛可以下载更多霁岚系列原创免费软件?";

// Start-up, the two vendor links, the exit button and the exit question.
class Shell {
public:
    Shell(Form1& form, Platform& platform, config::Urls urls);

    void Form_Load();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Form_QueryUnload(int& cancel, int unloadMode);

    // programFolder + "/skinh.she", joined as text.
    std::string skinPath() const;

private:
    Form1& form_;
    Platform& platform_;
    config::Urls urls_;
};

}  // namespace jilan::app
