// The table's own cell painting: text placed by its alignment and kept inside its cell,
// selection and alternate rows in the palette's colours, and the style's painting whenever
// a style sheet is in force.
#include <QApplication>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include "filterwin_support.h"
#include "ui/filterwin/table_cell_delegate.h"

namespace jilan::filterwintest {

namespace {

constexpr int kColumnWidth = 120;

// The horizontal extent of the pixels in `cell` that differ from its top-left pixel (the
// cell's background); {-1, -1} when there are none.
std::pair<int, int> inkSpan(const QImage& image, const QRect& cell) {
    const QRgb background = image.pixel(cell.left() + 1, cell.top() + 1);
    int first = -1;
    int last = -1;
    for (int x = cell.left(); x <= cell.right(); ++x) {
        for (int y = cell.top() + 1; y < cell.bottom(); ++y) {
            if (image.pixel(x, y) != background) {
                if (first < 0) {
                    first = x;
                }
                last = x;
                break;
            }
        }
    }
    return {first, last};
}

struct Painted {
    QImage image;
    QRect cells[3][3];  // [row][column], in the image
};

// A 3 x 3 table: (0,0) short text, (0,1) right-aligned number, (1,0) a text far wider than
// its column with (1,1) empty, row 2 selected.
Painted paintTable() {
    QStandardItemModel model(3, 3);
    const auto put = [&](int row, int column, const QString& text) {
        model.setData(model.index(row, column), text);
    };
    put(0, 0, QStringLiteral("abc.com"));
    put(0, 1, QStringLiteral("42"));
    model.setData(model.index(0, 1), QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter),
                  Qt::TextAlignmentRole);
    put(1, 0, QStringLiteral("a-very-long-domain-name-beyond-its-column.com"));
    put(2, 0, QStringLiteral("selected.cn"));
    QTableView view;
    view.setModel(&model);
    jilan::ui::filterwin::TableCellDelegate delegate(&view);
    view.setItemDelegate(&delegate);
    view.setShowGrid(false);
    view.verticalHeader()->hide();
    view.horizontalHeader()->hide();
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int column = 0; column < 3; ++column) {
        view.setColumnWidth(column, kColumnWidth);
    }
    view.resize(3 * kColumnWidth + 40, 140);
    view.selectRow(2);
    view.clearFocus();
    Painted painted;
    painted.image = view.viewport()->grab().toImage();
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            painted.cells[row][column] = view.visualRect(model.index(row, column));
        }
    }
    view.setItemDelegate(nullptr);
    return painted;
}

}  // namespace

class CellDelegateTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cellsArePaintedWhereTheyBelong() {
        qApp->setStyleSheet(QString());
        const Painted p = paintTable();
        struct Case {
            const char* rule;
            int row, column;
            bool inLeftHalf, inRightHalf;
        };
        const Case cases[] = {
            {"left-aligned text starts at the left", 0, 0, true, false},
            {"right-aligned text ends at the right", 0, 1, false, true},
            {"a text too wide is cut inside its own cell", 1, 0, true, true},
            {"the next cell stays empty", 1, 1, false, false},
        };
        for (const Case& c : cases) {
            const QRect cell = p.cells[c.row][c.column];
            const auto [first, last] = inkSpan(p.image, cell);
            const int middle = cell.left() + cell.width() / 2;
            QVERIFY2((first >= 0 && first < middle) == c.inLeftHalf, c.rule);
            QVERIFY2((last >= middle) == c.inRightHalf, c.rule);
            if (first >= 0) {
                QVERIFY2(first >= cell.left() && last <= cell.right(), c.rule);
            }
        }
        const QPalette palette = QApplication::palette();
        const QRect selected = p.cells[2][1];
        const QColor highlight = p.image.pixelColor(selected.left() + 2, selected.top() + 2);
        QVERIFY(highlight == palette.color(QPalette::Active, QPalette::Highlight) ||
                highlight == palette.color(QPalette::Inactive, QPalette::Highlight));
    }

    void aStyleSheetIsPaintedByTheStyle() {
        qApp->setStyleSheet(QStringLiteral("QTableView::item { background: rgb(10, 200, 30); }"));
        const Painted p = paintTable();
        qApp->setStyleSheet(QString());
        const QRect cell = p.cells[1][1];
        QCOMPARE(p.image.pixelColor(cell.left() + 2, cell.top() + 2), QColor(10, 200, 30));
    }
};

int runCellDelegateTests(int argc, char** argv) {
    CellDelegateTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace jilan::filterwintest

#include "cell_delegate_test.moc"
