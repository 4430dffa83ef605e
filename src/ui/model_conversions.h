#pragma once

#include <QRect>
#include <QString>

#include <string>

#include "app/controls.h"

namespace jilan::ui {

// Conversions between the window model and Qt: twips to pixels, UTF-8 to UTF-16 and
// back, and the save dialog's filter string.

// Twips to pixels at 96 dpi; Qt's high-DPI scaling takes it from there.
inline constexpr int kTwipsPerPixel = 15;
constexpr int toPixels(int twips) {
    return (twips >= 0 ? twips + kTwipsPerPixel / 2 : twips - kTwipsPerPixel / 2) / kTwipsPerPixel;
}
constexpr int toTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}
QRect toPixels(const app::Geometry& geometry);

// The model keeps UTF-8; Qt keeps UTF-16.
QString toQt(const std::string& text);
std::string fromQt(const QString& text);

// Text as a widget shows it: CR LF and lone CR become line feeds.
QString displayText(const std::string& text);

// "desc|pattern|desc|pattern" (patterns separated by ';') as a Qt name filter
// list: "desc (pattern pattern);;desc (pattern)". A trailing lone description
// keeps the pattern "*".
QString qtNameFilter(const std::string& filter);

}  // namespace jilan::ui
