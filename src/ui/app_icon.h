#pragma once

#include <QIcon>
#include <QImage>

namespace jilan::ui {

// The program's icon, painted at any size: a clear sky over misty peaks and a
// golden arrow dropping into a tray. data/jilan-harvester.svg draws the same
// picture on the same 256-unit grid for the desktop's scalable icon.
QImage paintAppIcon(int size);

// The icon at the sizes a desktop asks for (16, 32, 48, 256).
QIcon appIcon();

}  // namespace jilan::ui
