// Writes the application icon as <folder>/<size>/jilan-harvester.png for each size given.
#include <QDir>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "app_icon.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER SIZE...\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size <= 0 || size > 1024) {
            std::fprintf(stderr, "bad icon size: %s\n", argv[i]);
            return 2;
        }
        const QString sub = folder + QLatin1Char('/') + QString::number(size);
        if (!QDir().mkpath(sub)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(sub));
            return 1;
        }
        const QString file = sub + QStringLiteral("/jilan-harvester.png");
        if (!jilan::ui::paintAppIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
