#pragma once

#include <QFontComboBox>

// A font family list that stays inside its window: compact rows, each
// family in its own face, and a popup list no taller than the window.
class ConstrainedFontComboBox : public QFontComboBox
{
    Q_OBJECT
public:
    explicit ConstrainedFontComboBox(QWidget* parent = nullptr);

    // Rows and height the popup gets in a window of that height (no window:
    // a negative height).
    struct PopupLimits
    {
        int visibleItems;
        int maximumHeight;
    };
    static PopupLimits popupLimitsFor(int windowHeight);

    void showPopup() override;

    static constexpr int RowHeight = 26;
};
