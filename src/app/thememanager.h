#pragma once

#include <QColor>
#include <QObject>

#include <array>

// The two looks of the application.
enum class ThemeKind : int {
    Light = 0,
    Dark = 1,
};

// The nine colours that the canvas and its items read, by index.
using ThemeColors = std::array<QColor, 9>;

// Slot indices of ThemeColors.
namespace ThemeSlot {
enum : int {
    SceneBackground = 0,
    GridLines = 1,
    EntityFill = 2,      // group frames use it with alpha 90
    EntityHeader = 3,
    Border = 4,          // entity and group borders, cardinality glyphs
    Selection = 5,       // selected borders, row-drop indicator, selected glyphs
    Text = 6,
    RelationshipLine = 7,
    Highlight = 8,       // selected edge lines, focus frame of an edited row
};
}

// Process-wide holder of the current theme. Items read its colours when they
// paint and repaint on themeChanged().
class ThemeManager : public QObject
{
    Q_OBJECT
public:
    static ThemeManager& instance();

    // Stores the kind and copies its built-in colour set (any kind other
    // than Light selects the dark set), then emits themeChanged().
    void setTheme(ThemeKind kind);

    // Sets all nine colours and the kind at once, then emits themeChanged().
    void setColors(const ThemeColors& colors, ThemeKind kind);

    static ThemeColors lightColors();
    static ThemeColors darkColors();

    ThemeColors colors() const { return m_colors; }
    QColor color(int slot) const;
    ThemeKind kind() const { return m_kind; }
    bool isDark() const { return m_kind != ThemeKind::Light; }

signals:
    void themeChanged();

private:
    ThemeManager();

    ThemeColors m_colors;
    ThemeKind m_kind = ThemeKind::Light;
};
