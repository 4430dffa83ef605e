#include "watchlist/watch_text.h"

#include <optional>

#include "base/beijing_time.h"

namespace jilan::watchlist {

namespace {

// "2026-12-08 03:00（还剩 1 小时 58 分）", or "（已过）" once the moment is behind.
std::string timeWithSpan(std::string_view siteText, const WallClock& clock) {
    std::string text = siteTime(siteText, clock);
    if (const auto at = base::parseBeijingTime(siteText)) {
        const std::int64_t left = *at - clock.nowUtc();
        text += left > 0 ? "（还剩 " + base::spanText(left) + "）" : "（已过）";
    }
    return text;
}

void appendPart(std::string& text, const std::string& part) {
    if (!part.empty()) {
        text += (text.empty() ? "" : "，") + part;
    }
}

}  // namespace

std::string siteTime(std::string_view siteText, const WallClock& clock) {
    std::string text(siteText);
    const auto at = base::parseBeijingTime(siteText);
    if (at && clock.localOffsetAt(*at) != base::kBeijingOffsetSeconds) {
        text += " 北京时间";
    }
    return text;
}

std::string detailsText(const history::WatchedName& name, const WallClock& clock) {
    const history::WatchDetails& d = name.details;
    std::string text;
    if (!d.bookingDeadline.empty()) {
        appendPart(text, "预定截止 " + timeWithSpan(d.bookingDeadline, clock));
    }
    if (!d.deletionTime.empty()) {
        appendPart(text, "删除时间 " + siteTime(d.deletionTime, clock));
    }
    if (!d.price.empty()) {
        appendPart(text, "价格 " + d.price);
    }
    appendPart(text, d.icpState);
    if (name.score >= 0) {
        appendPart(text, "评分 " + std::to_string(name.score));
    }
    if (name.missingRun) {
        appendPart(text, "已不在列表");
    }
    if (!name.note.empty()) {
        appendPart(text, "备注：" + name.note);
    }
    return text;
}

std::string reminderText(const history::WatchedName& name, history::ReminderKind kind,
                         const WallClock& clock) {
    history::WatchedName rest = name;
    std::string head = "⏰ " + name.domain + " ";
    if (kind == history::ReminderKind::AtDeletion) {
        head += "已到删除时间 " + siteTime(name.details.deletionTime, clock);
        rest.details.deletionTime.clear();
        rest.details.bookingDeadline.clear();  // past by now: not worth a line
    } else {
        head += "预定截止 " + timeWithSpan(name.details.bookingDeadline, clock);
        rest.details.bookingDeadline.clear();
    }
    const std::string tail = detailsText(rest, clock);
    return tail.empty() ? head : head + "，" + tail;
}

std::string missedText(const history::WatchedName& name, history::ReminderKind kind,
                       const WallClock& clock) {
    const bool deletion = kind == history::ReminderKind::AtDeletion;
    const std::string& moment = deletion ? name.details.deletionTime : name.details.bookingDeadline;
    return "已错过：" + name.domain + (deletion ? " 删除时间 " : " 预定截止 ") +
           siteTime(moment, clock) + " 的提醒";
}

}  // namespace jilan::watchlist
