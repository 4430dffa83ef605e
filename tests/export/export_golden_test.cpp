// A fixed table written as CSV and as XLSX, compared byte for byte with the files this build
// wrote before: every column, a failed name, quoting, formula-looking text and CJK text.
// JILAN_WRITE_GOLDEN=1 rewrites the files (for a change meant to alter the output).
#include <stdlib.h>
#include <time.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "export/csv_export.h"
#include "export/domain_table.h"
#include "export/xlsx_export.h"
#include "filter/name_features.h"
#include "temp_dir.h"
#include "zip_member.h"

namespace jilan {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const fs::path kGoldenDir = JILAN_EXPORT_GOLDEN_DIR;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The local times of the sightings are written in UTC, whatever zone the machine is in.
class UtcZone {
public:
    UtcZone() {
        if (const char* tz = ::getenv("TZ")) {
            saved_ = tz;
        }
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    ~UtcZone() {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    UtcZone(const UtcZone&) = delete;
    UtcZone& operator=(const UtcZone&) = delete;

private:
    std::optional<std::string> saved_;
};

exporting::NameDetails fullDetails(std::string domain) {
    exporting::NameDetails d;
    d.domain = std::move(domain);
    d.deletionType = "过期删除";
    d.deletionTime = "2026-12-07 09:00:00";
    d.bookingDeadline = "2026-12-06 18:00";
    d.filed = "已备案";
    d.filingNumber = "京ICP备12345678号-1";
    d.bookingPlatform = "青岚预订";
    d.bookingPrice = "1,280 元";
    d.priceInYuan = "1280";
    d.deposit = "押金 \"50\" 元";
    d.queriedAt = "2026-12-05 08:30:00";
    d.result = "成功";
    return d;
}

std::vector<exporting::DomainRow> goldenRows() {
    history::NameRow seen;
    seen.domain = "霁岚.CN";
    seen.firstSeen = 1'796'000'000;
    seen.lastSeen = 1'796'086'400;
    seen.runsSeen = 3;

    const exporting::NameDetails full = fullDetails("霁岚.cn");
    exporting::NameDetails formula = fullDetails("=sum.com");
    formula.deletionType = "=HYPERLINK(\"x\")";
    formula.bookingPlatform = "预定时间已过";
    formula.bookingPrice.clear();
    formula.priceInYuan.clear();
    formula.deposit = "-5\r\n多行";
    formula.filed = "未备案";
    exporting::NameDetails failed;
    failed.domain = "abc123.net";
    failed.filed = "查询失败";
    failed.filingNumber = "不显示";
    failed.result = "备案查询失败：服务器返回 500";
    exporting::NameDetails skipped;
    skipped.domain = "x&y.cn";
    skipped.filed = "查询失败";
    skipped.result = "未查询（站点限流）";

    const auto features = [](const char* name) { return filter::computeFeatures(name); };
    const filter::ScoreWeights weights = filter::defaultScoreWeights();
    return {
        exporting::makeDomainRow(features("霁岚.cn"), &seen, &full, weights),
        exporting::makeDomainRow(features("=sum.com"), nullptr, &formula, weights),
        exporting::makeDomainRow(features("abc123.net"), nullptr, &failed, weights),
        exporting::makeDomainRow(features("lanshan.com"), &seen, nullptr, weights),
        exporting::makeDomainRow(features("x&y.cn"), nullptr, &skipped, weights),
        exporting::makeDomainRow(features("a-1.com.cn"), nullptr, nullptr, weights),
    };
}

// libxlsxwriter stamps the workbook's creation time into docProps/core.xml.
std::string withoutTimes(const std::string& member, std::string bytes) {
    if (member != "docProps/core.xml") {
        return bytes;
    }
    static const std::regex stamp("(<dcterms:(created|modified)[^>]*>)[^<]*");
    return std::regex_replace(bytes, stamp, "$1");
}

void keepAsGolden(const std::string& produced, const std::string& name) {
    if (::getenv("JILAN_WRITE_GOLDEN") != nullptr) {
        fs::copy_file(produced, kGoldenDir / name, fs::copy_options::overwrite_existing);
    }
}

TEST(ExportGolden, CsvIsByteForByteTheSame) {
    const UtcZone utc;
    const TempDir dir;
    const std::string path = dir.file("golden.csv");
    exporting::CsvWriter writer;
    ASSERT_EQ(writer.open(path), std::nullopt);
    for (const exporting::DomainRow& row : goldenRows()) {
        ASSERT_EQ(writer.add(row), std::nullopt);
    }
    ASSERT_EQ(writer.commit(), std::nullopt);
    keepAsGolden(path, "golden.csv");
    EXPECT_EQ(readFile(path), readFile(kGoldenDir / "golden.csv"));
}

// The archive's own bytes carry the time it was made, so the members are compared instead:
// the same names in the same order, each with the same bytes (core.xml's times aside).
TEST(ExportGolden, XlsxMembersAreByteForByteTheSame) {
    const UtcZone utc;
    const TempDir dir;
    const std::string path = dir.file("golden.xlsx");
    exporting::XlsxWriter writer(exporting::XlsxOptions{.workFolder = dir.path()});
    ASSERT_EQ(writer.open(path), std::nullopt);
    for (const exporting::DomainRow& row : goldenRows()) {
        ASSERT_EQ(writer.add(row), std::nullopt);
    }
    ASSERT_EQ(writer.commit(), std::nullopt);
    keepAsGolden(path, "golden.xlsx");

    const std::string golden = (kGoldenDir / "golden.xlsx").string();
    const std::vector<std::string> members = testing::zipMemberNames(path);
    ASSERT_EQ(members, testing::zipMemberNames(golden));
    EXPECT_GE(members.size(), 10U);
    for (const std::string& member : members) {
        EXPECT_EQ(withoutTimes(member, testing::unzipMember(path, member)),
                  withoutTimes(member, testing::unzipMember(golden, member)))
            << member;
    }
}

}  // namespace
}  // namespace jilan
