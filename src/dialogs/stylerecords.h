#pragma once

#include "dialogs/dualthemecolorscheme.h"

#include <QColor>
#include <QFont>

#include <array>

// The value records that the style dialogs hand back to the main window and
// that the scene keeps as defaults for new items. Plain data, copied freely.

// Font and per-theme colour of free-standing text items. A default-constructed
// record holds Qt's default font and two invalid colours ("no style yet");
// defaultTextItemStyle() gives the look of a new text item.
struct TextItemStyle
{
    QFont font;
    QColor lightColor;
    QColor darkColor;

    bool colorsValid() const { return lightColor.isValid() && darkColor.isValid(); }

    bool operator==(const TextItemStyle& o) const
    {
        return font == o.font && lightColor == o.lightColor && darkColor == o.darkColor;
    }
    bool operator!=(const TextItemStyle& o) const { return !(*this == o); }
};

// Fill, border and title colours of group frames: light theme first, then
// dark. A default-constructed record holds six invalid colours.
struct GroupItemStyle
{
    QColor lightFill;
    QColor lightBorder;
    QColor lightTitle;
    QColor darkFill;
    QColor darkBorder;
    QColor darkTitle;

    // The six colours in the order above.
    std::array<QColor, 6> toArray() const
    {
        return {lightFill, lightBorder, lightTitle, darkFill, darkBorder, darkTitle};
    }

    static GroupItemStyle fromArray(const std::array<QColor, 6>& c)
    {
        return {c[0], c[1], c[2], c[3], c[4], c[5]};
    }

    bool allValid() const
    {
        for (const QColor& c : toArray()) {
            if (!c.isValid())
                return false;
        }
        return true;
    }

    bool operator==(const GroupItemStyle& o) const { return toArray() == o.toArray(); }
    bool operator!=(const GroupItemStyle& o) const { return !(*this == o); }
};

// What a style dialog's result is applied to. The value is the index of the
// dialog's "Apply to" box; each dialog exposes it as its own ApplyTarget.
enum ApplyTarget : int {
    ApplyToSelectedItem = 0,  // the one selected item
    ApplyToSelectedItems = 1, // every selected item of the kind
    ApplyToAllItems = 2,      // every item of the kind in the current diagram
    ApplyToDefaultsOnly = 3,  // nothing on the canvas: only the defaults for new items
};

// The target for a combo box index: 0 to 3 as they are, anything else
// (no current entry, an unknown entry) means every item of the kind.
ApplyTarget applyTargetFromIndex(int index);

// The built-in colours of tables and entity views, also the colour dialog's
// "Default" preset: #F7F7F7, #ECECEC, #2E2E2E, #111111 for the light theme,
// #2B2F36, #3A404A, #C7CED9, #F8FAFC for the dark one.
DualThemeColorScheme defaultDualThemeColorScheme();

// A new text item's look: "JetBrains Mono" 12 points, normal weight, upright,
// in the default text colour of the built-in light and dark theme sets. The
// built-in sets are used, not the current theme, so the result does not
// change when the user switches themes.
TextItemStyle defaultTextItemStyle();

// A new group frame's look, from the built-in theme sets: the entity fill
// with alpha 90, the border colour and the text colour of each theme.
GroupItemStyle defaultGroupItemStyle();
