#pragma once

#include "dialogs/dualthemecolorscheme.h"

#include <QList>
#include <QString>

class QSettings;

// A named set of table and view colours: one of the built-in presets or one
// the user saved.
struct ColorPreset
{
    QString name;
    DualThemeColorScheme scheme;
};

// The built-in presets in the order the colours dialog lists them:
// "Default", "Ocean", "Forest", "Amber", "Rose", "Dark". "Default" is the
// default scheme; the others use each theme's fill as its header.
const QList<ColorPreset>& builtInColorPresets();

// True for "Custom" and the names of the built-in presets, in any casing.
bool isReservedColorPresetName(const QString& name);

// The user presets as kept in the settings under the array "ColorPresets",
// in stored order. An element without a name (after trimming) is skipped; a
// colour that does not parse keeps the "Default" preset's colour.
QList<ColorPreset> readColorPresets(QSettings& settings);

// Replaces the array "ColorPresets" by the presets, colours as "#rrggbb".
void writeColorPresets(QSettings& settings, const QList<ColorPreset>& presets);

// One theme's four colours under the keys prefix + "Bg", "Header",
// "Border", "Text" of the current settings group.
void writeThemeColors(QSettings& settings, const QString& prefix, const QColor& background, const QColor& header,
                      const QColor& border, const QColor& text);
// Reads them back; each colour keeps its value when its key is missing or
// does not parse.
void readThemeColors(QSettings& settings, const QString& prefix, QColor& background, QColor& header,
                     QColor& border, QColor& text);
