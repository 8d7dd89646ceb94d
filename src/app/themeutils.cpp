#include "app/themeutils.h"

#include <QPixmap>

QPalette paletteForAllGroups(std::initializer_list<std::pair<QPalette::ColorRole, QColor>> colors)
{
    QPalette palette;
    for (const auto& [role, color] : colors) {
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
        palette.setColor(QPalette::Disabled, role, color);
    }
    return palette;
}

QPalette makeLightPalette()
{
    return paletteForAllGroups({
        {QPalette::Window, QColor(0xf3, 0xf3, 0xf3)},
        {QPalette::WindowText, QColor(0x1e, 0x1e, 0x1e)},
        {QPalette::Base, QColor(0xff, 0xff, 0xff)},
        {QPalette::AlternateBase, QColor(0xf0, 0xf0, 0xf0)},
        {QPalette::Text, QColor(0x1e, 0x1e, 0x1e)},
        {QPalette::Button, QColor(0xff, 0xff, 0xff)},
        {QPalette::ButtonText, QColor(0x1e, 0x1e, 0x1e)},
        {QPalette::Highlight, QColor(0x00, 0x78, 0xd4)},
        {QPalette::HighlightedText, QColor(0xff, 0xff, 0xff)},
        {QPalette::ToolTipBase, QColor(0xff, 0xff, 0xff)},
        {QPalette::ToolTipText, QColor(0x1e, 0x1e, 0x1e)},
        {QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a)},
        {QPalette::Link, QColor(0x00, 0x78, 0xd4)},
    });
}

QPalette makeDarkPalette()
{
    QPalette p = paletteForAllGroups({
        {QPalette::Window, QColor(0x2b, 0x2b, 0x2b)},
        {QPalette::WindowText, QColor(0xbb, 0xbb, 0xbb)},
        {QPalette::Base, QColor(0x2e, 0x31, 0x33)},
        {QPalette::AlternateBase, QColor(0x26, 0x28, 0x29)},
        {QPalette::Text, QColor(0xe4, 0xe6, 0xea)},
        {QPalette::Button, QColor(0x3c, 0x3f, 0x41)},
        {QPalette::ButtonText, QColor(0xbb, 0xbb, 0xbb)},
        {QPalette::Highlight, QColor(0x4b, 0x6e, 0xaf)},
        {QPalette::HighlightedText, QColor(0xff, 0xff, 0xff)},
        {QPalette::ToolTipBase, QColor(0x3c, 0x3f, 0x41)},
        {QPalette::ToolTipText, QColor(0xdc, 0xdc, 0xdc)},
        {QPalette::BrightText, QColor(0xff, 0x80, 0x80)},
        {QPalette::Link, QColor(0x58, 0xa6, 0xff)},
        {QPalette::LinkVisited, QColor(0x8c, 0x78, 0xc8)},
        {QPalette::PlaceholderText, QColor(0x8c, 0x8c, 0x8c)},
    });
    // Disabled fields sink into the window and dim their text.
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7a, 0x7e, 0x82));
    return p;
}

void invertImageColors(QImage& image)
{
    if (image.isNull())
        return;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = line[x];
            line[x] = qRgba(255 - qRed(px), 255 - qGreen(px), 255 - qBlue(px), qAlpha(px));
        }
    }
}

QIcon makeInvertedIcon(const QIcon& icon, QSize size)
{
    if (icon.isNull() || size.width() <= 0 || size.height() <= 0)
        return {};
    const QPixmap source = icon.pixmap(size, QIcon::Normal, QIcon::Off);
    if (source.isNull())
        return {};
    QImage image = source.toImage();
    if (image.isNull())
        return {};
    invertImageColors(image);
    QPixmap inverted = QPixmap::fromImage(image);
    inverted.setDevicePixelRatio(source.devicePixelRatio());
    QIcon result;
    result.addPixmap(inverted, QIcon::Normal, QIcon::Off);
    return result;
}
