#include "desktop_program.h"

#include <QGuiApplication>
#include <QString>

#include "translations.h"

namespace jilan::ui {

DesktopProgram::DesktopProgram(program::AppOptions options)
    : application_(form_, platform_, pool_, std::move(options)), window_(form_) {
    installQtChinese(qtChinese_);
    QGuiApplication::setDesktopFileName(QStringLiteral("jilan-harvester"));
    platform_.setWindow(&window_);
}

bool DesktopProgram::load() {
    form_.Load.raise();
    return !form_.ended();
}

}  // namespace jilan::ui
