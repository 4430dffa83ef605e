// A 1 000-name digest to three channels (企业微信, and 钉钉 and 飞书 both signed) against push-sim
// on loopback, end to end: layout, split, signing, HTTP, the stand-in's checks. Wall time from the
// end of the harvest (the names in hand) to the last message accepted. Target: <= 5 s.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "curl/curl.h"
#include "push/delivery.h"
#include "push/standard_sender.h"
#include "push_sim.h"

namespace push = jilan::push;

int main() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    jilan::pushsim::PushSim sim;
    if (sim.start() == 0) {
        std::fprintf(stderr, "push-sim did not start\n");
        return 1;
    }
    sim.setSecret("bench-dt", "SEC-bench-dingtalk");
    sim.setSecret("bench-fs", "bench-feishu-secret");
    auto channel = [](std::string name, push::ChannelType type, std::string url,
                      std::string secret) {
        push::Channel c;
        c.name = std::move(name);
        c.type = type;
        c.url = std::move(url);
        c.secret = std::move(secret);
        return c;
    };
    const std::vector<push::Channel> channels = {
        channel("企业微信", push::ChannelType::WeCom,
                sim.base() + "/wecom/webhook/send?key=bench-wc", ""),
        channel("钉钉", push::ChannelType::DingTalk,
                sim.base() + "/dingtalk/robot/send?access_token=bench-dt", "SEC-bench-dingtalk"),
        channel("飞书", push::ChannelType::Feishu, sim.base() + "/feishu/hook/bench-fs",
                "bench-feishu-secret"),
    };

    const auto start = std::chrono::steady_clock::now();
    std::vector<push::DigestEntry> entries;
    for (int i = 0; i < 1000; ++i) {
        entries.push_back({"d" + std::to_string(20000 + i * 7) + ".com", "杂米", 6, i % 100,
                           "删除 2026-12-09 10:00"});
    }
    const push::DigestFacts facts{"2026-12-08", "基准", true, 0, "/tmp/bench.csv", false, {}};
    const push::DigestText text = push::layoutDigest(entries, facts);
    std::vector<push::DigestJob> jobs;
    for (const push::Channel& c : channels) {
        jobs.push_back({"基准",
                        &c,
                        push::splitDigest(text, push::limitsOf(c.type)),
                        {"基准", "2026-12-08 07:30", entries}});
    }
    const auto outcomes =
        push::deliver(jobs, push::standardSender({}), push::realTiming(), nullptr);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    int messages = 0;
    bool ok = true;
    for (const push::ChannelOutcome& o : outcomes) {
        messages += o.sent;
        ok = ok && o.ok;
        std::printf("%s: %d messages, %s\n", o.channel.c_str(), o.sent, o.text.c_str());
    }
    std::printf("3 channels x 1000 names: %d messages accepted in %.1f ms (target <= 5000 ms)\n",
                static_cast<int>(sim.accepted().size()), ms);
    curl_global_cleanup();
    return ok && messages == static_cast<int>(sim.accepted().size()) && ms <= 5000 ? 0 : 1;
}
