#pragma once

// How a channel is named to the user, and the redactor of every secret a configuration holds:
// what the command line prints and the window's status line shows go through both.

#include <string>

#include "push/notify_config.h"
#include "push/url_mask.h"

namespace jilan::push {

// 团队群（企业微信 https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=****）
std::string channelLabel(const Channel& channel);

// Masks the secrets of every channel of the configuration.
Redactor redactorOf(const NotifyConfig& config);

}  // namespace jilan::push
