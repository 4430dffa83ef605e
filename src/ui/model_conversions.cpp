#include "model_conversions.h"

#include <QStringList>

namespace jilan::ui {

QRect toPixels(const app::Geometry& geometry) {
    return QRect(toPixels(geometry.left), toPixels(geometry.top), toPixels(geometry.width),
                 toPixels(geometry.height));
}

QString toQt(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string fromQt(const QString& text) {
    return text.toStdString();
}

QString displayText(const std::string& text) {
    QString shown = toQt(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString qtNameFilter(const std::string& filter) {
    const QStringList parts = toQt(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        if (description.isEmpty() && patterns.isEmpty()) {
            continue;
        }
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns = patterns.simplified();
        if (patterns.isEmpty()) {
            patterns = QStringLiteral("*");
        }
        const QString shown = QStringLiteral("(") + patterns + QLatin1Char(')');
        // A description that already names its patterns ("Excel 工作簿 (*.xlsx)") keeps them once.
        entries.push_back(description.endsWith(shown) ? description
                                                      : description + QLatin1Char(' ') + shown);
    }
    return entries.join(QStringLiteral(";;"));
}

}  // namespace jilan::ui
