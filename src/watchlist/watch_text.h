#pragma once

// The words of the watchlist: a watched name's details in one line (for --watchlist and every
// reminder) and the reminders themselves, e.g.
//   ⏰ 8848.com 预定截止 2026-12-08 03:00（还剩 1 小时 58 分），删除时间 …，价格 …，备注：…
// Site times are shown as the site gave them, marked 北京时间 where the machine's zone differs.

#include <string>
#include <string_view>

#include "history/watchlist.h"
#include "watchlist/wall_clock.h"

namespace jilan::watchlist {

// The site's time as given, with " 北京时间" when the machine's zone is not UTC+08:00 then.
std::string siteTime(std::string_view siteText, const WallClock& clock);

// "预定截止 2026-12-08 03:00（还剩 1 小时 58 分），删除时间 …，价格 …，备案 …，评分 …，
// 已不在列表，备注：…", leaving out what is unknown; empty when nothing is known.
std::string detailsText(const history::WatchedName& name, const WallClock& clock);

// The message of a reminder due now.
std::string reminderText(const history::WatchedName& name, history::ReminderKind kind,
                         const WallClock& clock);

// The digest's line for a reminder whose moment passed before it could be sent.
std::string missedText(const history::WatchedName& name, history::ReminderKind kind,
                       const WallClock& clock);

}  // namespace jilan::watchlist
