#pragma once

#include <QColor>

#include <array>

// The colours of a table or entity view for both themes: background, header,
// border and text for the light theme, then the same four for the dark one.
struct DualThemeColorScheme
{
    QColor lightBackground;
    QColor lightHeader;
    QColor lightBorder;
    QColor lightText;
    QColor darkBackground;
    QColor darkHeader;
    QColor darkBorder;
    QColor darkText;

    // The eight colours in the order above.
    std::array<QColor, 8> toArray() const
    {
        return {lightBackground, lightHeader, lightBorder, lightText,
                darkBackground,  darkHeader,  darkBorder,  darkText};
    }

    static DualThemeColorScheme fromArray(const std::array<QColor, 8>& c)
    {
        return {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]};
    }

    bool allValid() const
    {
        for (const QColor& c : toArray()) {
            if (!c.isValid())
                return false;
        }
        return true;
    }

    bool operator==(const DualThemeColorScheme& o) const { return toArray() == o.toArray(); }
    bool operator!=(const DualThemeColorScheme& o) const { return !(*this == o); }
};
