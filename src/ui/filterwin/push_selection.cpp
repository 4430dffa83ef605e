#include "push_selection.h"

#include "push/channel_label.h"
#include "push/digest_layout.h"

namespace jilan::ui::filterwin {

std::vector<push::DigestEntry> selectionEntries(const std::vector<const TableRow*>& rows,
                                                const filter::ScoreWeights& weights) {
    std::vector<push::DigestEntry> entries;
    entries.reserve(rows.size());
    for (const TableRow* row : rows) {
        push::DigestEntry entry{row->domain,
                                std::string(filter::classText(row->features.kind)),
                                row->features.length,
                                filter::scoreValue(row->features, weights),
                                {}};
        if (row->details) {
            const DetailCells& d = *row->details;
            for (const auto& [label, value] :
                 {std::pair{"删除 ", &d.deletionTime}, std::pair{"截止 ", &d.bookingDeadline},
                  std::pair{"价格 ", &d.bookingPrice}}) {
                if (!value->empty()) {
                    entry.detail +=
                        (entry.detail.empty() ? "" : "  ") + std::string(label) + *value;
                }
            }
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<push::Message> selectionMessages(std::vector<push::DigestEntry>& entries,
                                             const std::string& date,
                                             const push::Channel& channel) {
    push::DigestFacts facts;
    facts.date = date;
    facts.digestName = kSelectionDigest;
    facts.onlyNew = false;
    facts.maxNames = 0;  // the user picked them: every one is listed
    facts.picked = true;
    const push::DigestText text = push::layoutDigest(entries, facts);
    return push::splitDigest(text, push::limitsOf(channel.type));
}

std::string pushProgressText(const push::Channel& channel, std::size_t names,
                             const push::PushTask::Progress& progress) {
    std::string text =
        "正在推送 " + std::to_string(names) + " 个域名到 " + push::channelLabel(channel) + "……";
    if (progress.total > 1) {
        text += "（" + std::to_string(progress.delivered) + " / " + std::to_string(progress.total) +
                " 条）";
    }
    return text;
}

std::string pushOutcomeText(const push::Channel& channel, std::size_t names,
                            const push::ChannelOutcome& outcome, const push::Redactor& redactor) {
    const std::string label = push::channelLabel(channel);
    if (outcome.ok) {
        return redactor.apply("已推送 " + std::to_string(names) + " 个域名到 " + label + "：" +
                              outcome.text);
    }
    std::string text = "推送失败：" + label + "：" + outcome.text;
    if (outcome.sent > 0) {
        text += "（" + std::to_string(outcome.total) + " 条中已送达 " +
                std::to_string(outcome.sent) + " 条）";
    }
    return redactor.apply(text);
}

}  // namespace jilan::ui::filterwin
