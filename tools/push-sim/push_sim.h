#pragma once

// PushSim: a loopback HTTP server playing the chat platforms' robots for tests and benchmarks.
// Routes (the key or token is whatever the test puts in the URL):
//   POST /wecom/webhook/send?key=K                企业微信 group robot
//   POST /dingtalk/robot/send?access_token=T      钉钉 custom robot (timestamp, sign when signed)
//   POST /feishu/hook/T                           飞书 custom bot (timestamp, sign in the body)
//   POST /telegram/botT/sendMessage               Telegram
//   POST /serverchan/K.send                       Server酱 (form: title, desp)
//   POST /pushplus/send                           PushPlus (token in the body)
//   POST /webhook/ANY                             a generic webhook: any JSON body
//   GET  /_accepted                               what was accepted, as JSON
// Signatures and their time window (one hour) are checked for keys given a secret, sizes against
// the shared table of limits, and at most 20 messages a minute per WeCom/DingTalk key (beyond:
// the platform's own code, and the key blocked for 10 minutes) with each platform's error codes.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace jilan::pushsim {

struct Accepted {
    std::string platform;  // wecom, dingtalk, ...
    std::string key;       // the robot's key or token
    std::string title;     // when the protocol has one
    std::string text;
};

// How a key's route misbehaves, for the bad-answer cases.
enum class Fault { None, HtmlError, NotJson, Redirect, Huge, Slow };

class PushSim {
public:
    // `nowMs`: the platforms' clock (signature windows, the minute window); tests share it with
    // the sender so that waiting costs no real time.
    explicit PushSim(std::function<std::int64_t()> nowMs = {});
    ~PushSim();
    PushSim(const PushSim&) = delete;
    PushSim& operator=(const PushSim&) = delete;

    // Listens on 127.0.0.1 at a free port; 0 on failure.
    int start();
    void stop();
    int port() const { return port_; }
    std::string base() const;  // http://127.0.0.1:PORT

    void setSecret(const std::string& key, const std::string& secret);
    void setFault(const std::string& key, Fault fault);
    // The next `count` messages to `key` get the platform's rate-limit answer.
    void throttleNext(const std::string& key, int count);

    std::vector<Accepted> accepted() const;
    int refused() const;  // answers that were not success, for any reason

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int port_ = 0;
};

}  // namespace jilan::pushsim
