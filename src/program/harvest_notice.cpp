#include "harvest_notice.h"

namespace jilan::program {

HarvestNotice harvestNotice(int entries, int pagesRequested, int pagesFailed) {
    const std::string title = "霁岚域名回收采集器";
    if (pagesFailed > 0 && pagesFailed >= pagesRequested) {
        return {title, "采集失败：" + std::to_string(pagesFailed) + " 页均未取得"};
    }
    std::string body = "采集完成：共 " + std::to_string(entries) + " 个域名";
    if (pagesFailed > 0) {
        body += "，" + std::to_string(pagesFailed) + " 页失败";
    }
    return {title, body};
}

}  // namespace jilan::program
