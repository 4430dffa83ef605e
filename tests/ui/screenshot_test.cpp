// The fresh window rendered to a PNG, kept beside the test as an artifact.
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QtTest>

#include "ui_test_support.h"

#ifndef JILAN_SCREENSHOT_DIR
#define JILAN_SCREENSHOT_DIR "."
#endif

namespace jilan::uitest {

namespace {

int distinctColours(const QImage& image, const QRect& area) {
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            colours.insert(image.pixel(x, y));
        }
    }
    return static_cast<int>(colours.size());
}

}  // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void freshWindowRendersToPng() {
        Program program;
        program.form.Load.raise();
        program.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&program.window));

        const QString path =
            QDir(QStringLiteral(JILAN_SCREENSHOT_DIR)).filePath(QStringLiteral("main_window.png"));
        QFile::remove(path);
        const QImage shot = program.window.grab().toImage();
        QVERIFY(shot.save(path, "PNG"));

        const QImage saved(path);
        QVERIFY(!saved.isNull());
        QCOMPARE(saved.size(), QSize(674, 540) * program.window.devicePixelRatio());
        QVERIFY(distinctColours(saved, saved.rect()) >= 8);
        // Each region holds a drawing: the buttons, the frames' captions, the price grid.
        for (const char* name : {"Command1", "Command3", "Frame1", "Frame3", "S1"}) {
            const QWidget* w = program.window.widgetFor(name);
            const QRect area(w->mapTo(&program.window, QPoint(0, 0)), w->size());
            QVERIFY2(distinctColours(saved, area.intersected(saved.rect())) >= 3, name);
        }
        qInfo("screenshot: %s", qPrintable(path));
    }
};

int runScreenshotTests(int argc, char** argv) {
    ScreenshotTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "screenshot_test.moc"
