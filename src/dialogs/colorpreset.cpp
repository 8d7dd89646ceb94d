#include "dialogs/colorpreset.h"

#include "dialogs/stylerecords.h"

#include <QSettings>
#include <QStringList>

namespace {

const QString PresetArray = QStringLiteral("ColorPresets");

DualThemeColorScheme schemeOf(const char* lightFill, const char* lightBorder, const char* lightText,
                              const char* darkFill, const char* darkBorder, const char* darkText)
{
    const QColor lf = QColor::fromString(QLatin1String(lightFill));
    const QColor df = QColor::fromString(QLatin1String(darkFill));
    return {lf, lf, QColor::fromString(QLatin1String(lightBorder)), QColor::fromString(QLatin1String(lightText)),
            df, df, QColor::fromString(QLatin1String(darkBorder)),  QColor::fromString(QLatin1String(darkText))};
}

void readColor(QSettings& settings, const QString& key, QColor& color)
{
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return;
    const QColor parsed = QColor::fromString(value.toString());
    if (parsed.isValid())
        color = parsed;
}

} // namespace

const QList<ColorPreset>& builtInColorPresets()
{
    static const QList<ColorPreset> presets = {
        {QStringLiteral("Default"), defaultDualThemeColorScheme()},
        {QStringLiteral("Ocean"), schemeOf("#EAF4FF", "#2D5B88", "#0F172A", "#0F2744", "#7EB6E8", "#E2F0FF")},
        {QStringLiteral("Forest"), schemeOf("#EEF7EE", "#3C6E47", "#102014", "#142418", "#7CB88A", "#E8F5E9")},
        {QStringLiteral("Amber"), schemeOf("#FFF6E8", "#8A5A00", "#1F1300", "#2A1C00", "#E8B84A", "#FFF6E8")},
        {QStringLiteral("Rose"), schemeOf("#FFF0F3", "#8B3A57", "#2A0F18", "#2A1018", "#E88AA8", "#FFF0F3")},
        {QStringLiteral("Dark"), schemeOf("#E8EAED", "#3A404A", "#1A1D21", "#2B2F36", "#C7CED9", "#F8FAFC")},
    };
    return presets;
}

bool isReservedColorPresetName(const QString& name)
{
    if (name.compare(QLatin1String("Custom"), Qt::CaseInsensitive) == 0)
        return true;
    for (const ColorPreset& preset : builtInColorPresets()) {
        if (name.compare(preset.name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void writeThemeColors(QSettings& settings, const QString& prefix, const QColor& background, const QColor& header,
                      const QColor& border, const QColor& text)
{
    settings.setValue(prefix + QLatin1String("Bg"), background.name());
    settings.setValue(prefix + QLatin1String("Header"), header.name());
    settings.setValue(prefix + QLatin1String("Border"), border.name());
    settings.setValue(prefix + QLatin1String("Text"), text.name());
}

void readThemeColors(QSettings& settings, const QString& prefix, QColor& background, QColor& header,
                     QColor& border, QColor& text)
{
    readColor(settings, prefix + QLatin1String("Bg"), background);
    readColor(settings, prefix + QLatin1String("Header"), header);
    readColor(settings, prefix + QLatin1String("Border"), border);
    readColor(settings, prefix + QLatin1String("Text"), text);
}

QList<ColorPreset> readColorPresets(QSettings& settings)
{
    QList<ColorPreset> presets;
    const int count = settings.beginReadArray(PresetArray);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const QString name = settings.value(QStringLiteral("name")).toString().trimmed();
        if (name.isEmpty())
            continue;
        ColorPreset preset{name, defaultDualThemeColorScheme()};
        DualThemeColorScheme& s = preset.scheme;
        readThemeColors(settings, QStringLiteral("light"), s.lightBackground, s.lightHeader, s.lightBorder,
                        s.lightText);
        readThemeColors(settings, QStringLiteral("dark"), s.darkBackground, s.darkHeader, s.darkBorder,
                        s.darkText);
        presets.append(preset);
    }
    settings.endArray();
    return presets;
}

void writeColorPresets(QSettings& settings, const QList<ColorPreset>& presets)
{
    settings.remove(PresetArray);
    settings.beginWriteArray(PresetArray, int(presets.size()));
    for (int i = 0; i < presets.size(); ++i) {
        settings.setArrayIndex(i);
        const ColorPreset& preset = presets.at(i);
        const DualThemeColorScheme& s = preset.scheme;
        settings.setValue(QStringLiteral("name"), preset.name);
        writeThemeColors(settings, QStringLiteral("light"), s.lightBackground, s.lightHeader, s.lightBorder,
                         s.lightText);
        writeThemeColors(settings, QStringLiteral("dark"), s.darkBackground, s.darkHeader, s.darkBorder,
                         s.darkText);
    }
    settings.endArray();
}
