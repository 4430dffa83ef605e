#include "push/standard_sender.h"

#include "push/desktop_notify.h"
#include "push/email_send.h"

namespace jilan::push {

SendOne standardSender(const HttpOptions& options) {
    return [options](const Channel& channel, const Message& message, const Payload& payload,
                     std::int64_t nowMs) -> Answer {
        switch (channel.type) {
            case ChannelType::Email:
                return sendMail(channel, message, nowMs, options);
            case ChannelType::Desktop:
                return notifyDesktop(message);
            default:
                return judgeAnswer(channel.type,
                                   postOnce(buildRequest(channel, message, payload, nowMs),
                                            channel.proxy, options));
        }
    };
}

}  // namespace jilan::push
