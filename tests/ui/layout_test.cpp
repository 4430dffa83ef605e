// The window draws the model at its fixed layout: every control where the
// model puts it, with the model's text, in the right kind of widget.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "ui/control_widgets.h"
#include "ui/model_conversions.h"
#include "ui_test_support.h"

namespace jilan::uitest {

namespace {

bool isAutoSizeLabel(const app::Control& control) {
    return control.kind() == app::ControlKind::Label &&
           static_cast<const app::Label&>(control).autoSize();
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        form_ = std::make_unique<app::Form1>();
        window_ = std::make_unique<ui::MainWindow>(*form_);
    }
    void cleanup() {
        window_.reset();
        form_.reset();
    }

    void windowIsFixedAtClientSize() {
        QCOMPARE(window_->windowTitle(), QStringLiteral("霁岚域名回收采集器 v1.3"));
        QCOMPARE(window_->size(), QSize(674, 540));
        QCOMPARE(window_->minimumSize(), QSize(674, 540));
        QCOMPARE(window_->maximumSize(), QSize(674, 540));
        const Qt::WindowFlags flags = window_->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    void everyDrawnControlHasItsWidget() {
        for (const app::Control* control : form_->controls()) {
            const QString name = ui::toQt(control->name());
            QWidget* w = window_->widgetFor(control->name());
            if (!control->drawn()) {
                QVERIFY2(w == nullptr, qPrintable(name));
                continue;
            }
            QVERIFY2(w != nullptr, qPrintable(name));
            QCOMPARE(w->objectName(), name);
            QWidget* expectedParent = control->container() == nullptr
                                          ? window_.get()
                                          : window_->widgetFor(control->container()->name());
            QVERIFY2(w->parentWidget() == expectedParent, qPrintable(name));
            QVERIFY2(w->isVisibleTo(window_.get()), qPrintable(name));
        }
    }

    void widgetKindsMatchControlKinds() {
        for (const app::Control* control : form_->controls()) {
            QWidget* w = window_->widgetFor(control->name());
            const QByteArray name = QByteArray::fromStdString(control->name());
            switch (control->kind()) {
                case app::ControlKind::Button:
                    QVERIFY2(qobject_cast<QPushButton*>(w), name);
                    break;
                case app::ControlKind::Label:
                    QVERIFY2(qobject_cast<QLabel*>(w), name);
                    break;
                case app::ControlKind::Frame:
                    QVERIFY2(qobject_cast<QGroupBox*>(w), name);
                    break;
                case app::ControlKind::ListBox:
                    QVERIFY2(qobject_cast<QListView*>(w), name);
                    break;
                case app::ControlKind::HScrollBar:
                    QVERIFY2(qobject_cast<QScrollBar*>(w), name);
                    break;
                case app::ControlKind::TextBox:
                    if (static_cast<const app::TextBox*>(control)->multiLine()) {
                        QVERIFY2(qobject_cast<QPlainTextEdit*>(w), name);
                    } else {
                        QVERIFY2(qobject_cast<QLineEdit*>(w), name);
                    }
                    break;
                case app::ControlKind::Line:
                    QVERIFY2(qobject_cast<ui::LineWidget*>(w), name);
                    break;
                case app::ControlKind::StatusBar:
                    QVERIFY2(qobject_cast<ui::StatusBarWidget*>(w), name);
                    break;
                default:
                    QVERIFY2(w == nullptr, name);
            }
        }
    }

    // Every control of fixed size sits at its twips divided by 15.
    void geometryFollowsModel() {
        int checked = 0;
        for (const app::Control* control : form_->controls()) {
            if (!control->drawn() || control->kind() == app::ControlKind::Line ||
                isAutoSizeLabel(*control)) {
                continue;
            }
            const app::Geometry& g = control->geometry();
            const QRect expected(g.left / 15, g.top / 15, g.width / 15, g.height / 15);
            const QWidget* w = window_->widgetFor(control->name());
            QVERIFY2(w != nullptr, control->name().c_str());
            // 1600 twips (Label3) is the one position that is not a whole pixel.
            QVERIFY2(std::abs(w->x() - expected.x()) <= 1 && std::abs(w->y() - expected.y()) <= 1,
                     control->name().c_str());
            QCOMPARE(w->size(), expected.size());
            ++checked;
        }
        QCOMPARE(checked, 23);
    }

    void pixelPositions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("pixels");
        const struct {
            const char* name;
            QRect pixels;
        } rows[] = {
            {"Frame1", {16, 8, 209, 345}},     {"List1", {8, 16, 193, 316}},
            {"Frame2", {16, 360, 209, 57}},    {"Text1", {24, 24, 113, 18}},
            {"HScroll1", {152, 24, 33, 17}},   {"Frame3", {240, 8, 417, 409}},
            {"Frame4", {16, 208, 385, 185}},   {"Text2", {8, 16, 369, 161}},
            {"Label3", {16, 107, 385, 17}},    {"Label8", {16, 170, 97, 17}},
            {"Label11", {304, 170, 97, 17}},   {"Command1", {16, 432, 105, 41}},
            {"Command5", {120, 432, 105, 41}}, {"Command4", {240, 432, 145, 41}},
            {"Command2", {384, 432, 137, 41}}, {"Command3", {520, 432, 137, 41}},
            {"S1", {0, 499, 674, 41}},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.pixels;
        }
    }
    void pixelPositions() {
        QFETCH(QString, name);
        QFETCH(QRect, pixels);
        const QWidget* w = window_->widgetFor(name.toStdString());
        QVERIFY(w != nullptr);
        QCOMPARE(w->geometry(), pixels);
    }

    void textsFollowModel() {
        for (const app::Control* control : form_->controls()) {
            QWidget* w = window_->widgetFor(control->name());
            const QByteArray name = QByteArray::fromStdString(control->name());
            switch (control->kind()) {
                case app::ControlKind::Button:
                    QCOMPARE(qobject_cast<QPushButton*>(w)->text(),
                             ui::toQt(static_cast<const app::Button*>(control)->caption()));
                    break;
                case app::ControlKind::Label:
                    QCOMPARE(qobject_cast<QLabel*>(w)->text(),
                             ui::toQt(static_cast<const app::Label*>(control)->caption()));
                    break;
                case app::ControlKind::Frame:
                    QCOMPARE(qobject_cast<QGroupBox*>(w)->title(),
                             ui::toQt(static_cast<const app::Frame*>(control)->caption()));
                    break;
                case app::ControlKind::StatusBar: {
                    const auto* bar = static_cast<const app::StatusBar*>(control);
                    const auto* view = qobject_cast<ui::StatusBarWidget*>(w);
                    QCOMPARE(view->panelCount(), bar->panelCount());
                    for (std::size_t n = 1; n <= bar->panelCount(); ++n) {
                        QCOMPARE(view->panel(n)->text(), ui::toQt(bar->panel(n).text));
                    }
                    break;
                }
                default:
                    break;
            }
        }
    }

    void freshWindowShowsInitialState() {
        QCOMPARE(widget<QLineEdit>(*window_, "Text1")->text(), QStringLiteral("1"));
        QCOMPARE(widget<QPlainTextEdit>(*window_, "Text2")->toPlainText(), QString());
        QCOMPARE(widget<QListView>(*window_, "List1")->model()->rowCount(), 0);
        QCOMPARE(widget<QPushButton>(*window_, "Command1")->text(), QStringLiteral("开始采集"));
        QCOMPARE(widget<QLabel>(*window_, "Label12")->text(), QStringLiteral("是否备案：未查询"));
        QCOMPARE(widget<QLabel>(*window_, "Label9")->text(), QStringLiteral("未查询"));
        const auto* bar = widget<ui::StatusBarWidget>(*window_, "S1");
        QCOMPARE(bar->panel(1)->text(), QStringLiteral("运行状态："));
        QCOMPARE(bar->panel(2)->text(), QStringLiteral("欢迎使用霁岚旗下霁岚系列软件 .."));
        QCOMPARE(bar->panel(3)->text(), QStringLiteral("霁岚出品"));
        QVERIFY(!window_->harvestTimer().isActive());
    }

    void lines_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("pixels");
        QTest::addColumn<bool>("darkGrey");
        const struct {
            const char* name;
            QRect pixels;
            bool darkGrey;
        } rows[] = {
            {"Line1", {16, 96, 385, 1}, true},   {"Line2", {16, 128, 385, 1}, true},
            {"Line3", {16, 160, 385, 1}, true},  {"Line4", {16, 192, 385, 1}, true},
            {"Line5", {16, 96, 1, 97}, true},    {"Line6", {400, 96, 1, 99}, true},
            {"Line7", {112, 128, 1, 65}, false}, {"Line8", {208, 128, 1, 65}, false},
            {"Line9", {304, 128, 1, 65}, false},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.name) << QString::fromLatin1(row.name) << row.pixels << row.darkGrey;
        }
    }
    void lines() {
        QFETCH(QString, name);
        QFETCH(QRect, pixels);
        QFETCH(bool, darkGrey);
        auto* line = widget<ui::LineWidget>(*window_, name.toLatin1().constData());
        QVERIFY(line != nullptr);
        QCOMPARE(line->geometry(), pixels);
        QCOMPARE(line->parentWidget(), window_->widgetFor("Frame3"));
        const QColor expected =
            darkGrey ? QColor(64, 64, 64) : line->palette().color(QPalette::WindowText);
        QCOMPARE(line->strokeColour(), expected);
        // The stroke is really painted in that colour.
        const QImage painted = line->grab().toImage();
        QCOMPARE(painted.pixelColor(0, 0).rgb(), expected.rgb());
    }

    void autoSizeLabelsGrowRightAndDown_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Label1", "Label2", "Label12", "Label13"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }
    void autoSizeLabelsGrowRightAndDown() {
        QFETCH(QString, name);
        auto* model = static_cast<app::Label*>(form_->find(name.toStdString()));
        auto* label = widget<QLabel>(*window_, name.toLatin1().constData());
        QVERIFY(model != nullptr && label != nullptr);
        const QPoint anchor(model->geometry().left / 15, model->geometry().top / 15);
        QCOMPARE(label->pos(), anchor);
        const QFontMetrics metrics(label->font());
        QVERIFY(label->width() >= metrics.horizontalAdvance(label->text()));

        const int before = label->width();
        model->setCaption(model->caption() + "，以及更长的一段说明文字");
        QCOMPARE(label->pos(), anchor);
        QVERIFY(label->width() > before);
        QVERIFY(label->width() >= metrics.horizontalAdvance(label->text()));

        model->setCaption("短");
        QCOMPARE(label->pos(), anchor);
        QVERIFY(label->width() < before);
    }

    void fixedLabelsKeepTheirSizeAndAlignment() {
        auto* label = widget<QLabel>(*window_, "Label4");
        const QRect before = label->geometry();
        QVERIFY(label->alignment().testFlag(Qt::AlignHCenter));
        form_->Label4.setCaption("一段远远超过格子宽度的很长很长的文字");
        QCOMPARE(label->geometry(), before);
        QVERIFY(widget<QLabel>(*window_, "Label1")->alignment().testFlag(Qt::AlignLeft));
    }

    void statusPanels() {
        const auto* bar = widget<ui::StatusBarWidget>(*window_, "S1");
        QCOMPARE(bar->panel(1)->width(), 96);
        QCOMPARE(bar->panel(3)->width(), 96);
        // The middle panel takes what the outer two leave, about its nominal 478 pixels.
        QVERIFY(bar->panel(2)->width() >= 470 && bar->panel(2)->width() <= 482);
        QVERIFY(bar->panel(1)->geometry().right() < bar->panel(2)->x());
        QVERIFY(bar->panel(2)->geometry().right() < bar->panel(3)->x());
        QVERIFY(bar->panel(3)->geometry().right() <= bar->width() - 1);
        QCOMPARE(bar->panel(2)->objectName(), QStringLiteral("S1Panel2"));
    }

    void scrollBarAndTextBoxes() {
        const auto* scroll = widget<QScrollBar>(*window_, "HScroll1");
        QCOMPARE(scroll->orientation(), Qt::Horizontal);
        QCOMPARE(scroll->minimum(), 0);
        QCOMPARE(scroll->maximum(), 32767);
        QCOMPARE(scroll->value(), 0);
        QCOMPARE(scroll->singleStep(), 1);
        QCOMPARE(scroll->pageStep(), 1);
        const auto* whois = widget<QPlainTextEdit>(*window_, "Text2");
        QCOMPARE(whois->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        const auto* list = widget<QListView>(*window_, "List1");
        QVERIFY(list->uniformItemSizes());
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    }

    // Tab moves through the focusable controls in the order of their tab indexes.
    void focusOrderFollowsTabIndexes() {
        const QStringList expected = {QStringLiteral("Command1"), QStringLiteral("List1"),
                                      QStringLiteral("Text1"),    QStringLiteral("Text2"),
                                      QStringLiteral("Command2"), QStringLiteral("Command3"),
                                      QStringLiteral("Command4"), QStringLiteral("Command5")};
        QWidget* at = window_->widgetFor("Command1");
        QStringList seen;
        for (int guard = 0; guard < 64 && seen.size() < expected.size(); ++guard) {
            if (expected.contains(at->objectName()) && !seen.contains(at->objectName())) {
                seen.push_back(at->objectName());
            }
            at = at->nextInFocusChain();
        }
        QCOMPARE(seen, expected);
    }

    void windowIconFollowsModel() {
        QVERIFY(!window_->windowIcon().isNull());
        form_->clearIcon();
        window_->syncIcon();
        QVERIFY(window_->windowIcon().availableSizes().isEmpty());
    }

private:
    std::unique_ptr<app::Form1> form_;
    std::unique_ptr<ui::MainWindow> window_;
};

int runLayoutTests(int argc, char** argv) {
    LayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::uitest

#include "layout_test.moc"
