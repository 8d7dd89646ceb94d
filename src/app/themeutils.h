#pragma once

#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QSize>

#include <initializer_list>
#include <utility>

// A default palette with each listed role's colour set in the active,
// inactive and disabled groups alike.
QPalette paletteForAllGroups(std::initializer_list<std::pair<QPalette::ColorRole, QColor>> colors);

// Application palettes of the light and the dark theme.
QPalette makeLightPalette();
QPalette makeDarkPalette();

// Replaces red, green and blue of every pixel by 255 minus their value and
// keeps alpha. Images that are not 32-bit RGB or ARGB are converted to
// 32-bit ARGB first.
void invertImageColors(QImage& image);

// The icon's pixmap at size with inverted colours, as a one-pixmap icon; an
// empty icon when the icon is null, the size is not positive or nothing
// could be rendered.
QIcon makeInvertedIcon(const QIcon& icon, QSize size);
