#include "app/thememanager.h"

#include <QGuiApplication>
#include <QPalette>

ThemeManager& ThemeManager::instance()
{
    static ThemeManager manager;
    return manager;
}

ThemeManager::ThemeManager()
{
    // Follow the desktop: a dark window colour means a dark desktop theme.
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    setTheme(window.lightness() < 128 ? ThemeKind::Dark : ThemeKind::Light);
}

void ThemeManager::setTheme(ThemeKind kind)
{
    m_kind = kind;
    m_colors = kind == ThemeKind::Light ? lightColors() : darkColors();
    emit themeChanged();
}

void ThemeManager::setColors(const ThemeColors& colors, ThemeKind kind)
{
    m_colors = colors;
    m_kind = kind;
    emit themeChanged();
}

ThemeColors ThemeManager::lightColors()
{
    return {QColor(0xff, 0xff, 0xff), QColor(0xeb, 0xeb, 0xeb), QColor(0xfa, 0xfa, 0xfa),
            QColor(0xeb, 0xeb, 0xeb), QColor(0x00, 0x00, 0x00), QColor(0x00, 0x78, 0xd7),
            QColor(0x00, 0x00, 0x00), QColor(0x00, 0x00, 0x00), QColor(0x00, 0x78, 0xd7)};
}

ThemeColors ThemeManager::darkColors()
{
    return {QColor(0x1a, 0x1a, 0x1a), QColor(0x3c, 0x3c, 0x3c), QColor(0x26, 0x26, 0x26),
            QColor(0x37, 0x37, 0x37), QColor(0xd2, 0xd2, 0xd2), QColor(0x50, 0xaa, 0xff),
            QColor(0xe6, 0xe6, 0xe6), QColor(0xd2, 0xd2, 0xd2), QColor(0x50, 0xaa, 0xff)};
}

QColor ThemeManager::color(int slot) const
{
    if (slot < 0 || slot >= static_cast<int>(m_colors.size()))
        return {};
    return m_colors[static_cast<size_t>(slot)];
}
