#pragma once

// 推送选中: the selected rows laid out as the command line's digest (霁岚 DATE 选中域名：N 个,
// one line a name, best first, every name listed) and split to one channel's limits, and what
// the status line says of it. Without Qt: the window only shows these texts.

#include <string>
#include <vector>

#include "filter/score_weights.h"
#include "push/delivery.h"
#include "push/push_task.h"
#include "push/url_mask.h"
#include "table_row.h"

namespace jilan::ui::filterwin {

inline constexpr const char* kSelectionDigest = "选中域名";

// A digest line per row: name, class, length, 评分, and the deletion time, booking deadline and
// price when the row has been queried.
std::vector<push::DigestEntry> selectionEntries(const std::vector<const TableRow*>& rows,
                                                const filter::ScoreWeights& weights);

// The messages for `channel`, sorted best first; `date` is the local YYYY-MM-DD.
std::vector<push::Message> selectionMessages(std::vector<push::DigestEntry>& entries,
                                             const std::string& date, const push::Channel& channel);

// "正在推送 8 个域名到 团队群（企业微信 …key=****）……" with the messages delivered so far.
std::string pushProgressText(const push::Channel& channel, std::size_t names,
                             const push::PushTask::Progress& progress);
// "已推送 8 个域名到 团队群（…）：成功", or "推送失败：团队群（…）：签名不匹配"; secrets masked.
std::string pushOutcomeText(const push::Channel& channel, std::size_t names,
                            const push::ChannelOutcome& outcome, const push::Redactor& redactor);

}  // namespace jilan::ui::filterwin
