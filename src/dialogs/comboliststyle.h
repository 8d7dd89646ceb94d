#pragma once

#include <QProxyStyle>

// The application's style, except that a combo box's popup is a plain list
// below the box instead of a menu laid over the current entry.
class ComboListStyle : public QProxyStyle
{
    Q_OBJECT
public:
    ComboListStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
