#include "dialogs/stylerecords.h"

namespace {

// The entries of the two built-in theme colour sets that new items take
// their look from. The theme manager (a widget-side class) holds the full
// sets; the records live below it, so they carry their own copy, which the
// tests compare with the theme manager's sets.
constexpr QRgb LightEntityFill = 0xfffafafa;
constexpr QRgb LightBorder = 0xff000000;
constexpr QRgb LightText = 0xff000000;
constexpr QRgb DarkEntityFill = 0xff262626;
constexpr QRgb DarkBorder = 0xffd2d2d2;
constexpr QRgb DarkText = 0xffe6e6e6;

constexpr int GroupFillAlpha = 90;

QColor withAlpha(QRgb rgb, int alpha)
{
    QColor c = QColor::fromRgba(rgb);
    c.setAlpha(alpha);
    return c;
}

} // namespace

ApplyTarget applyTargetFromIndex(int index)
{
    if (index < ApplyToSelectedItem || index > ApplyToDefaultsOnly)
        return ApplyToAllItems;
    return static_cast<ApplyTarget>(index);
}

DualThemeColorScheme defaultDualThemeColorScheme()
{
    return {QColor::fromString("#F7F7F7"), QColor::fromString("#ECECEC"), QColor::fromString("#2E2E2E"),
            QColor::fromString("#111111"), QColor::fromString("#2B2F36"), QColor::fromString("#3A404A"),
            QColor::fromString("#C7CED9"), QColor::fromString("#F8FAFC")};
}

TextItemStyle defaultTextItemStyle()
{
    QFont font(QStringLiteral("JetBrains Mono"));
    font.setPointSize(12);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    return {font, QColor::fromRgba(LightText), QColor::fromRgba(DarkText)};
}

GroupItemStyle defaultGroupItemStyle()
{
    return {withAlpha(LightEntityFill, GroupFillAlpha), QColor::fromRgba(LightBorder), QColor::fromRgba(LightText),
            withAlpha(DarkEntityFill, GroupFillAlpha),  QColor::fromRgba(DarkBorder),  QColor::fromRgba(DarkText)};
}
