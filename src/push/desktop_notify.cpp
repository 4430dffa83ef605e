#include "push/desktop_notify.h"

#include <systemd/sd-bus.h>

#include <memory>

namespace jilan::push {
namespace {

struct BusUnref {
    void operator()(sd_bus* bus) const noexcept { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
    void operator()(sd_bus_message* m) const noexcept { sd_bus_message_unref(m); }
};

}  // namespace

Answer notifyDesktop(const Message& message) {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0 || raw == nullptr) {
        return {Verdict::Skipped, "没有桌面会话，已跳过", 0};
    }
    std::unique_ptr<sd_bus, BusUnref> bus(raw);
    // The body is the text after the title line.
    const auto newline = message.text.find('\n');
    const std::string body = newline == std::string::npos ? "" : message.text.substr(newline + 1);
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call_method(
        bus.get(), "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
        "org.freedesktop.Notifications", "Notify", &error, &reply, "susssasa{sv}i",
        "霁岚域名回收采集器", 0u, "", message.title.c_str(), body.c_str(), 0, 0, -1);
    std::unique_ptr<sd_bus_message, MessageUnref> owned(reply);
    const bool noService = r < 0 && sd_bus_error_has_name(&error, SD_BUS_ERROR_SERVICE_UNKNOWN);
    sd_bus_error_free(&error);
    if (r >= 0) {
        return {Verdict::Delivered, "成功", 0};
    }
    if (noService) {
        return {Verdict::Skipped, "桌面会话没有通知服务，已跳过", 0};
    }
    return {Verdict::Refused, "桌面通知失败", 0};
}

}  // namespace jilan::push
