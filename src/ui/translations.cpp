#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace jilan::ui {

bool installQtChinese(QTranslator& translator) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator.load(QStringLiteral("qtbase_zh_CN"), folder)) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}

}  // namespace jilan::ui
