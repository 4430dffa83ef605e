#pragma once

#include <QTranslator>

namespace jilan::ui {

// Every text of the program is Simplified Chinese; Qt's own texts (是/否/取消,
// the file dialog) follow from Qt's zh_CN catalogue in the system's Qt
// translations folder. Installs it into the running application and makes
// zh_CN the default locale. false when the catalogue is missing: Qt's texts
// then stay in English and nothing else changes.
bool installQtChinese(QTranslator& translator);

}  // namespace jilan::ui
