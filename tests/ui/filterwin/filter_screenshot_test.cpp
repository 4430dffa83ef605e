// The "域名筛选" window with a filter applied, rendered to a PNG kept as a test artifact.
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "filterwin_support.h"
#include "ui/filterwin/domain_filter_window.h"

#ifndef JILAN_SCREENSHOT_DIR
#define JILAN_SCREENSHOT_DIR "."
#endif

namespace jilan::filterwintest {

class FilterScreenshotTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void filteredWindowRendersToPng() {
        Fixture f;
        f.addNames({"8888.com", "6688.cn", "lanshan.com", "zhongguo.com", "bjdx.com", "a8b.cn",
                    "wang.com", "beijingren.com", "1212.com.cn", "abc-1.com", "qq.cn",
                    "yuanyuan.com"});
        ui::filterwin::DetailCells cells;
        cells.deletionTime = "2026-12-08 09:00:00";
        cells.bookingDeadline = "2026-12-08 03:00:00";
        cells.filed = "未备案";
        cells.bookingPrice = "80 元";
        cells.result = "成功";
        f.window.model().setDetails("lanshan.com", cells);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.window.findChild<QCheckBox*>(QStringLiteral("toggle_two"))->click();
        QTest::keyClicks(f.window.findChild<QLineEdit*>(QStringLiteral("filterEdit")),
                         QStringLiteral("len<=8"));
        QTRY_COMPARE(f.window.findChild<QLabel*>(QStringLiteral("countLabel"))->text(),
                     QStringLiteral("显示 3 / 12"));

        // The suffix boxes follow the rows shortly after they arrive.
        QTRY_VERIFY(f.window.findChild<QCheckBox*>(QStringLiteral("suffix_com")) != nullptr);
        const QString path = QDir(QStringLiteral(JILAN_SCREENSHOT_DIR))
                                 .filePath(QStringLiteral("filter_window.png"));
        QFile::remove(path);
        const QImage shot = f.window.grab().toImage();
        QVERIFY(shot.save(path, "PNG"));
        const QImage saved(path);
        QCOMPARE(saved.size(), f.window.size() * f.window.devicePixelRatio());
        // The table region holds drawn rows, not a blank area.
        QWidget& table = f.window.table();
        const QRect area(table.mapTo(&f.window, QPoint(0, 0)), table.size());
        QSet<QRgb> colours;
        for (int y = area.top(); y < area.bottom(); y += 2) {
            for (int x = area.left(); x < area.right(); x += 2) {
                colours.insert(saved.pixel(x, y));
            }
        }
        QVERIFY(colours.size() >= 4);
        qInfo("screenshot: %s", qPrintable(path));
    }
};

int runScreenshotTests(int argc, char** argv) {
    FilterScreenshotTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "filter_screenshot_test.moc"
