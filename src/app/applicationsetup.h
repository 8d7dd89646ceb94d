#pragma once

#include <QString>
#include <QStringList>

// Registers one font file with the application font database and returns
// the first family it reports, or an empty string when registration fails
// or no family is reported.
QString loadApplicationFont(const QString& path);

// The embedded fonts in registration order; the first one's family becomes
// the application font.
QStringList embeddedFontPaths();

// Registers the fonts in order and, when the first one loaded, makes its
// family at 10 points the application font. Returns that family, or an
// empty string when the platform font stays. When families is given, it
// receives the family of every font in order (empty for one that failed).
QString registerApplicationFonts(const QStringList& paths, QStringList* families = nullptr);

// Identity, style, window icon and fonts of the application; called by
// main right after the application object exists. Returns the family of
// every embedded font in order, empty for one that did not register.
QStringList setUpApplication();
