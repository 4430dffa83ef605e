#include "push/channel_label.h"

namespace jilan::push {

std::string channelLabel(const Channel& channel) {
    std::string label = channel.name + "（" + std::string(limitsOf(channel.type).label);
    if (!channel.url.empty()) {
        label += " " + maskUrl(channel.url);
    }
    return label + "）";
}

Redactor redactorOf(const NotifyConfig& config) {
    Redactor redactor;
    for (const Channel& channel : config.channels) {
        redactor.addChannel(channel);
    }
    return redactor;
}

}  // namespace jilan::push
