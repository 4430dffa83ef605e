// The e-mail channel against a local mail server (tools/smtp-sim) with its own throw-away CA.
#include <gtest/gtest.h>

#include "push/email_send.h"
#include "smtp_stand_in.h"
#include "temp_dir.h"

namespace jilan::push {
namespace {

TEST(EmailSend, MailGoesOutOnlyOverAVerifiedTlsConnection) {
    struct Case {
        const char* name;
        const char* mode;    // the stand-in's
        const char* scheme;  // the channel's
        bool trustTestCa;
        Verdict verdict;
        const char* answer;
    };
    const Case cases[] = {
        {"STARTTLS", "starttls", "smtp", true, Verdict::Delivered, "成功"},
        {"implicit TLS", "tls", "smtps", true, Verdict::Delivered, "成功"},
        {"no STARTTLS offered", "plain", "smtp", true, Verdict::Refused,
         "邮件服务器不支持 STARTTLS，未以明文发送"},
        {"a certificate no known CA signed", "starttls", "smtp", false, Verdict::Refused,
         "邮件服务器的证书无法验证（公司自建的邮件服务器请用 ca_file 指定其根证书）"},
    };
    const Message message{
        .title = "霁岚 2026-12-08 四位数字：新匹配 2 个",
        .text = "霁岚 2026-12-08 四位数字：新匹配 2 个\n8848.com  数字  4\n五一八八.cn  中文  4"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir dir{"jilan-smtp"};
        const testing::SmtpStandIn server(c.mode, dir.path());
        const std::string config =
            std::string("[[channel]]\nname = \"邮箱\"\ntype = \"email\"\n") + "url = \"" +
            server.url(c.scheme) + "\"\n" +
            "user = \"bot\"\npassword = \"pw-1\"\nfrom = \"jilan@test\"\n" +
            "to = [\"investor@test\"]\n" +
            (c.trustTestCa ? "ca_file = \"" + server.caFile() + "\"\n" : std::string());
        const auto parsed = parseNotifyConfig(config, "notify.toml", {});
        ASSERT_TRUE(std::holds_alternative<NotifyConfig>(parsed)) << std::get<std::string>(parsed);
        const Answer answer = sendMail(std::get<NotifyConfig>(parsed).channels.at(0), message,
                                       1'765'000'000'000, HttpOptions{});
        EXPECT_EQ(answer.verdict, c.verdict);
        EXPECT_EQ(answer.text, c.answer);
        // What a mail reader shows: the subject decoded, then the body; nothing when refused.
        EXPECT_EQ(server.mail(1), c.verdict == Verdict::Delivered
                                      ? message.title + "\n\n" + message.text
                                      : std::string());
    }
}

}  // namespace
}  // namespace jilan::push
