#include "push_sim.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <chrono>
#include <deque>
#include <nlohmann/json.hpp>
#include <thread>

#include "push/channel_types.h"

namespace jilan::pushsim {
namespace {

using nlohmann::json;
using push::ChannelType;
using push::limitsOf;

constexpr std::int64_t kSignWindowMs = 3600 * 1000;
constexpr std::int64_t kBlockMs = 600 * 1000;

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string hmac(const std::string& key, const std::string& message) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length);
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::size_t codePoints(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

bool tooLong(ChannelType type, const std::string& text, std::size_t body) {
    const auto& limits = limitsOf(type);
    return (limits.textBytes != 0 && text.size() > limits.textBytes) ||
           (limits.textChars != 0 && codePoints(text) > limits.textChars) ||
           (limits.bodyBytes != 0 && body > limits.bodyBytes);
}

// The platform's answer with a code: errcode for WeCom/DingTalk, code for the others.
json coded(ChannelType type, long code, const std::string& message) {
    if (type == ChannelType::WeCom || type == ChannelType::DingTalk) {
        return {{"errcode", code}, {"errmsg", message}};
    }
    return {{"code", code}, {"msg", message}, {"data", nullptr}};
}

}  // namespace

struct PushSim::Impl {
    std::function<std::int64_t()> nowMs;
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    std::map<std::string, std::string> secrets;
    std::map<std::string, Fault> faults;
    std::map<std::string, int> throttled;
    std::map<std::string, std::deque<std::int64_t>> windows;
    std::map<std::string, std::int64_t> blockedUntil;
    std::vector<Accepted> accepted;
    int refused = 0;

    // Counts a message against the key's minute window; false when the platform would refuse.
    bool withinWindow(ChannelType type, const std::string& key, std::int64_t now) {
        const auto& limits = limitsOf(type);
        if (auto t = throttled.find(key); t != throttled.end() && t->second > 0) {
            --t->second;
            return false;
        }
        if (limits.perWindow == 0) {
            return true;
        }
        if (auto b = blockedUntil.find(key); b != blockedUntil.end() && now < b->second) {
            return false;
        }
        auto& sent = windows[key];
        const std::int64_t window = std::int64_t{limits.windowSeconds} * 1000;
        while (!sent.empty() && now - sent.front() >= window) {
            sent.pop_front();
        }
        if (static_cast<int>(sent.size()) >= limits.perWindow) {
            if (type == ChannelType::WeCom || type == ChannelType::DingTalk) {
                blockedUntil[key] = now + kBlockMs;
            }
            return false;
        }
        sent.push_back(now);
        return true;
    }

    // Applies a fault of the key; true when the answer is already made.
    bool misbehave(const std::string& key, httplib::Response& res) {
        const auto f = faults.find(key);
        if (f == faults.end() || f->second == Fault::None) {
            return false;
        }
        switch (f->second) {
            case Fault::HtmlError:
                res.status = 502;
                res.set_content("<html><body>502 Bad Gateway</body></html>", "text/html");
                break;
            case Fault::NotJson:
                res.status = 200;
                res.set_content("<html><body>ok</body></html>", "text/html");
                break;
            case Fault::Redirect:
                res.status = 302;
                res.set_header("Location", "http://192.0.2.1/elsewhere");
                break;
            case Fault::Huge:
                res.status = 200;
                res.set_content("{\"errcode\":0,\"pad\":\"" + std::string(1 << 20, 'x') + "\"}",
                                "application/json");
                break;
            case Fault::Slow:
                std::this_thread::sleep_for(std::chrono::seconds(3));
                res.status = 200;
                res.set_content(R"({"errcode":0})", "application/json");
                break;
            case Fault::None:
                break;
        }
        ++refused;
        return true;
    }

    // The common path of every platform: faults, signature, size, window, then acceptance.
    void handle(ChannelType type, const std::string& key, const std::string& title,
                const std::string& text, std::size_t bodySize, bool signatureOk,
                httplib::Response& res) {
        std::lock_guard lock(mutex);
        if (misbehave(key, res)) {
            return;
        }
        const auto& limits = limitsOf(type);
        const std::int64_t now = nowMs();
        json answer;
        bool ok = false;
        if (!signatureOk) {
            answer = coded(type, limits.signatureCode, "sign not match");
        } else if (tooLong(type, text, bodySize)) {
            if (type == ChannelType::Telegram) {
                res.status = 400;
                answer = {{"ok", false},
                          {"error_code", 400},
                          {"description", "Bad Request: message is too long"}};
            } else {
                answer = coded(type, limits.sizeCode, "content exceed max length");
            }
        } else if (!withinWindow(type, key, now)) {
            if (limits.rateLimitCode == 0) {
                res.status = 429;
                answer = {{"ok", false},
                          {"error_code", 429},
                          {"description", "Too Many Requests: retry after 3"},
                          {"parameters", {{"retry_after", 3}}}};
            } else {
                answer =
                    coded(type, limits.rateLimitCode, "send too fast, exceed 20 times per minute");
            }
        } else {
            ok = true;
            accepted.push_back({std::string(limits.name), key, title, text});
            if (type == ChannelType::Telegram) {
                answer = {{"ok", true}, {"result", {{"message_id", accepted.size()}}}};
            } else if (type == ChannelType::PushPlus) {
                answer = {{"code", 200}, {"msg", "请求成功"}, {"data", "id"}};
            } else {
                answer = coded(type, 0, "ok");
            }
        }
        refused += ok ? 0 : 1;
        res.set_content(answer.dump(), "application/json");
    }

    bool signedWithin(const std::string& key, std::int64_t timestampMs, const std::string& sign,
                      bool dingTalk) {
        std::string secret;
        {
            std::lock_guard lock(mutex);
            const auto s = secrets.find(key);
            if (s == secrets.end()) {
                return true;  // an unsigned robot
            }
            secret = s->second;
        }
        const std::int64_t now = nowMs();
        if (timestampMs <= 0 || timestampMs > now + kSignWindowMs ||
            timestampMs < now - kSignWindowMs) {
            return false;
        }
        const std::string stamp = std::to_string(dingTalk ? timestampMs : timestampMs / 1000);
        const std::string expected = dingTalk ? base64(hmac(secret, stamp + "\n" + secret))
                                              : base64(hmac(stamp + "\n" + secret, ""));
        return expected == sign;
    }

    void routes() {
        auto badRequest = [](httplib::Response& res) {
            res.status = 400;
            res.set_content(R"({"errcode":40035,"errmsg":"invalid parameter"})",
                            "application/json");
        };
        server.Post("/wecom/webhook/send",
                    [this, badRequest](const httplib::Request& req, httplib::Response& res) {
                        const json body = json::parse(req.body, nullptr, false);
                        if (!body.is_object() || !body.contains("markdown")) {
                            return badRequest(res);
                        }
                        handle(ChannelType::WeCom, req.get_param_value("key"), "",
                               body["markdown"].value("content", ""), req.body.size(), true, res);
                    });
        server.Post("/dingtalk/robot/send",
                    [this, badRequest](const httplib::Request& req, httplib::Response& res) {
                        const json body = json::parse(req.body, nullptr, false);
                        if (!body.is_object() || !body.contains("markdown")) {
                            return badRequest(res);
                        }
                        const std::string key = req.get_param_value("access_token");
                        std::int64_t stamp = 0;
                        try {
                            stamp = std::stoll(req.get_param_value("timestamp"));
                        } catch (const std::exception&) {
                        }
                        const bool ok = signedWithin(key, stamp, req.get_param_value("sign"), true);
                        handle(ChannelType::DingTalk, key, body["markdown"].value("title", ""),
                               body["markdown"].value("text", ""), req.body.size(), ok, res);
                    });
        server.Post(R"(/feishu/hook/([^/]+))",
                    [this, badRequest](const httplib::Request& req, httplib::Response& res) {
                        const json body = json::parse(req.body, nullptr, false);
                        if (!body.is_object() || !body.contains("content")) {
                            return badRequest(res);
                        }
                        const std::string key = req.matches[1];
                        std::int64_t stamp = 0;
                        try {
                            stamp = std::stoll(body.value("timestamp", std::string("0"))) * 1000;
                        } catch (const std::exception&) {
                        }
                        const bool ok = signedWithin(key, stamp, body.value("sign", ""), false);
                        handle(ChannelType::Feishu, key, "", body["content"].value("text", ""),
                               req.body.size(), ok, res);
                    });
        server.Post(R"(/telegram/bot([^/]+)/sendMessage)",
                    [this, badRequest](const httplib::Request& req, httplib::Response& res) {
                        const json body = json::parse(req.body, nullptr, false);
                        if (!body.is_object() || !body.contains("chat_id")) {
                            return badRequest(res);
                        }
                        handle(ChannelType::Telegram, req.matches[1], "", body.value("text", ""),
                               req.body.size(), true, res);
                    });
        server.Post(R"(/serverchan/([^/]+)\.send)", [this](const httplib::Request& req,
                                                           httplib::Response& res) {
            handle(ChannelType::ServerChan, req.matches[1], req.get_param_value("title"),
                   req.get_param_value("desp"), req.body.size(), true, res);
        });
        server.Post("/pushplus/send", [this, badRequest](const httplib::Request& req,
                                                         httplib::Response& res) {
            const json body = json::parse(req.body, nullptr, false);
            if (!body.is_object() || !body.contains("token")) {
                return badRequest(res);
            }
            handle(ChannelType::PushPlus, body.value("token", ""), body.value("title", ""),
                   body.value("content", ""), req.body.size(), true, res);
        });
        server.Post(R"(/webhook/(.*))",
                    [this, badRequest](const httplib::Request& req, httplib::Response& res) {
                        const json body = json::parse(req.body, nullptr, false);
                        if (!body.is_object()) {
                            return badRequest(res);
                        }
                        handle(ChannelType::Webhook, req.matches[1], body.value("title", ""),
                               req.body, req.body.size(), true, res);
                    });
        server.Get("/_accepted", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(mutex);
            json list = json::array();
            for (const Accepted& a : accepted) {
                list.push_back({{"platform", a.platform},
                                {"key", a.key},
                                {"title", a.title},
                                {"text", a.text}});
            }
            res.set_content(list.dump(), "application/json");
        });
    }
};

PushSim::PushSim(std::function<std::int64_t()> nowMs) : impl_(std::make_unique<Impl>()) {
    impl_->nowMs = nowMs ? std::move(nowMs) : [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
    impl_->routes();
}

PushSim::~PushSim() {
    stop();
}

int PushSim::start() {
    port_ = impl_->server.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        port_ = 0;
        return 0;
    }
    impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
    while (!impl_->server.is_running()) {  // a stop before the loop runs would be lost
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return port_;
}

void PushSim::stop() {
    impl_->server.stop();
    if (impl_->thread.joinable()) {
        impl_->thread.join();
    }
}

std::string PushSim::base() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

void PushSim::setSecret(const std::string& key, const std::string& secret) {
    std::lock_guard lock(impl_->mutex);
    impl_->secrets[key] = secret;
}

void PushSim::setFault(const std::string& key, Fault fault) {
    std::lock_guard lock(impl_->mutex);
    impl_->faults[key] = fault;
}

void PushSim::throttleNext(const std::string& key, int count) {
    std::lock_guard lock(impl_->mutex);
    impl_->throttled[key] = count;
}

std::vector<Accepted> PushSim::accepted() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->accepted;
}

int PushSim::refused() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->refused;
}

}  // namespace jilan::pushsim
