#include "dialogs/constrainedfontcombobox.h"

#include "dialogs/comboliststyle.h"
#include "dialogs/compactfontdelegate.h"

#include <QAbstractItemView>

#include <algorithm>

ConstrainedFontComboBox::ConstrainedFontComboBox(QWidget* parent)
    : QFontComboBox(parent)
{
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    setFontFilters(QFontComboBox::AllFonts);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(18);
    setMaxVisibleItems(12);
    setItemDelegate(new CompactFontDelegate(this));
    auto* listStyle = new ComboListStyle;
    listStyle->setParent(this);
    setStyle(listStyle);
    view()->setMinimumWidth(280);
}

ConstrainedFontComboBox::PopupLimits ConstrainedFontComboBox::popupLimitsFor(int windowHeight)
{
    if (windowHeight < 0)
        return {12, 400};
    if (windowHeight > 160) {
        const int items = windowHeight >= 346 ? 12 : std::max((windowHeight - 8) / RowHeight, 6);
        return {items, windowHeight};
    }
    return {6, 160};
}

void ConstrainedFontComboBox::showPopup()
{
    const QWidget* w = window();
    const PopupLimits limits = popupLimitsFor(w && w != this ? w->height() : -1);
    setMaxVisibleItems(limits.visibleItems);
    view()->setMaximumHeight(limits.maximumHeight);
    if (QWidget* container = view()->parentWidget())
        container->setMaximumHeight(limits.maximumHeight);
    QFontComboBox::showPopup();
}
