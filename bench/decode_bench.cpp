// Throughput of the text decoding unit on GBK input, with glibc iconv on the same bytes as the
// reference. Bytes processed are input bytes.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "base/utf8.h"
#include "net/iconv_handle.h"
#include "net/text_decoding.h"

namespace {

// A listing page as the harvester sees it: mostly ASCII markup, Chinese labels and names,
// domains and dates; about 60 KB once encoded as GBK.
std::string listingPageUtf8() {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta http-equiv=\"Content-Type\" "
        "content=\"text/html; charset=gbk\">\n<title>过期域名列表 - 第3页</title>\n"
        "<link rel=\"stylesheet\" href=\"/static/css/main.css?v=20240611\">\n"
        "<script src=\"/static/js/jquery.min.js\"></script></head>\n<body>\n"
        "<div class=\"nav\"><a href=\"/\">首页</a> | <a href=\"/list\">域名列表</a> | "
        "<a href=\"/help\">帮助中心</a></div>\n"
        "<table class=\"list\" cellspacing=\"0\" cellpadding=\"4\">\n"
        "<tr><th>序号</th><th>域名</th><th>长度</th><th>后缀</th><th>注册商</th>"
        "<th>删除日期</th><th>状态</th><th>操作</th></tr>\n";
    const char* registrars[] = {"阿里云计算有限公司", "厦门易名科技股份有限公司",
                                "北京新网数码信息技术有限公司", "成都西维数码科技有限公司"};
    const char* states[] = {"待删除", "赎回期", "已释放", "预订中"};
    for (int i = 0; page.size() < 64000; ++i) {
        const std::string name = "jilan" + std::to_string(i * 7919 % 100000);
        page += "<tr class=\"" + std::string(i % 2 ? "odd" : "even") + "\"><td>" +
                std::to_string(i + 1) + "</td><td><a href=\"/whois?d=" + name + ".com\">" + name +
                ".com</a></td><td>" + std::to_string(name.size()) + "</td><td>.com</td><td>" +
                registrars[i % 4] + "</td><td>2024-06-" + std::to_string(i % 28 + 1) + "</td><td>" +
                states[i % 4] + "</td><td><a href=\"/book?d=" + name +
                ".com\">预订</a></td></tr>\n";
    }
    page +=
        "</table>\n<div class=\"pager\">共 1280 条记录，每页 100 条 <a href=\"?p=2\">上一页</a> "
        "<a href=\"?p=4\">下一页</a></div>\n<div class=\"foot\">版权所有 © 2024 "
        "本站数据仅供参考，请以注册局公布为准。</div>\n</body></html>\n";
    return page;
}

std::string chineseTextUtf8() {
    const std::string paragraph =
        "域名删除后将进入赎回期，赎回期结束后进入待删除状态，约五天后由注册局统一释放。"
        "用户可以提前预订，释放时系统自动抢注，成功后扣除相应费用，失败则全额退还。";
    std::string text;
    while (text.size() < 90000) {
        text += paragraph;
    }
    return text;
}

void runDecode(benchmark::State& state, const std::string& input,
               std::string (*decode)(std::string_view)) {
    for (auto _ : state) {
        std::string out = decode(input);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(input.size()));
}

void runIconv(benchmark::State& state, const std::string& input) {
    auto converter = jilan::net::IconvHandle::open("UTF-8", "GB18030");
    if (!converter) {
        state.SkipWithError("iconv has no GB18030 converter");
        return;
    }
    for (auto _ : state) {
        std::string out = converter->convertLossy(input, "\xEF\xBF\xBD");
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(input.size()));
}

void BM_DecodeGb18030_Page(benchmark::State& state) {
    runDecode(state, jilan::net::encodeGb18030(listingPageUtf8()), jilan::net::decodeGb18030);
}

void BM_DecodeGb18030_ChineseText(benchmark::State& state) {
    runDecode(state, jilan::net::encodeGb18030(chineseTextUtf8()), jilan::net::decodeGb18030);
}

void BM_IconvGb18030_Page(benchmark::State& state) {
    runIconv(state, jilan::net::encodeGb18030(listingPageUtf8()));
}

void BM_IconvGb18030_ChineseText(benchmark::State& state) {
    runIconv(state, jilan::net::encodeGb18030(chineseTextUtf8()));
}

// Undeclared charset on a GBK page: the UTF-8 check fails early, then GB18030 decoding.
void BM_DecodeUndeclared_GbkPage(benchmark::State& state) {
    runDecode(state, jilan::net::encodeGb18030(listingPageUtf8()), jilan::net::decodeUndeclared);
}

// Declared UTF-8: validation plus one copy.
void BM_DecodeUtf8Lossy_Page(benchmark::State& state) {
    runDecode(state, listingPageUtf8(), jilan::base::decodeUtf8Lossy);
}

BENCHMARK(BM_DecodeGb18030_Page);
BENCHMARK(BM_DecodeGb18030_ChineseText);
BENCHMARK(BM_IconvGb18030_Page);
BENCHMARK(BM_IconvGb18030_ChineseText);
BENCHMARK(BM_DecodeUndeclared_GbkPage);
BENCHMARK(BM_DecodeUtf8Lossy_Page);

}  // namespace
