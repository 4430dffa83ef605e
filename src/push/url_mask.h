#pragma once

// Secrets never reach the output: every URL shown has its query values, its user part and the
// path segments that hold a key or token replaced by ****, and every text a channel produces
// passes through the redactor of the configuration's secrets.

#include <string>
#include <string_view>
#include <vector>

namespace jilan::push {

struct Channel;
struct NotifyConfig;

// https://qyapi.weixin.qq.com/cgi-bin/webhook/send?key=**** ,
// https://api.telegram.org/bot****/sendMessage , https://sctapi.ftqq.com/****.send
std::string maskUrl(std::string_view url);

// Replaces each known secret in a text by ****.
class Redactor {
public:
    void addChannel(const Channel& channel);
    void add(std::string secret);
    std::string apply(std::string text) const;

private:
    std::vector<std::string> secrets_;
};

// The redactor of every channel's secrets in a notify.toml.
Redactor redactorFor(const NotifyConfig& config);

}  // namespace jilan::push
