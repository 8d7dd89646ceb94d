#pragma once

#include "dialogs/hexcolorfield.h"
#include "dialogs/stylerecords.h"

#include <QDialog>

#include <array>
#include <memory>

class PreviewScene;
class TextPreviewItem;

namespace Ui {
class TextItemStyleDialog;
}

// "Text item style": font (family, size, bold, italic, underline) and the
// light and dark colours of free-standing text items, with "Sample text"
// shown live in both themes. The result leaves only through applyRequested
// (Apply and OK).
class TextItemStyleDialog : public QDialog
{
    Q_OBJECT
public:
    // The entries of the "Apply to" box.
    enum ApplyTarget : int {
        SelectedTextItem = 0,
        SelectedTextItems = 1,
        AllTextItemsInDiagram = 2,
        CurrentDefaultsOnly = 3,
    };
    Q_ENUM(ApplyTarget)

    explicit TextItemStyleDialog(QWidget* parent = nullptr);
    ~TextItemStyleDialog() override;

    // Loads the style. A font without a family becomes "JetBrains Mono" 12
    // points, a pixel-sized one gets 12 points; an invalid colour becomes
    // that theme's default text colour.
    void setStyle(const TextItemStyle& style);
    // The style the widgets stand for: the chosen family (or a loaded one
    // that is not installed, until another is chosen) at the size box's
    // points, weight 700 or 400, italic or upright, underlined or not; a
    // colour field that does not parse gives an invalid colour.
    TextItemStyle currentStyle() const;

    // A value outside the four targets selects "All text items in current
    // diagram".
    void setApplyTarget(ApplyTarget target);
    ApplyTarget applyTarget() const;
    void setUseForNew(bool on);
    bool useForNew() const;

signals:
    void applyRequested(TextItemStyle style, TextItemStyleDialog::ApplyTarget target, bool useForNew);

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonApply_clicked();
    void on_pushButtonCancel_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum Field { LightColor, DarkColor, FieldCount };

    void refreshWidgets();
    void updateFontPreview();
    void updatePreviews();
    void fitPreviews();
    bool emitApply();

    std::unique_ptr<Ui::TextItemStyleDialog> ui;
    TextItemStyle m_style;
    std::array<HexColorField, FieldCount> m_fields;
    PreviewScene* m_lightScene = nullptr;
    PreviewScene* m_darkScene = nullptr;
    TextPreviewItem* m_lightItem = nullptr;
    TextPreviewItem* m_darkItem = nullptr;
    // A loaded family the font list does not offer (a file made where other
    // fonts are installed): kept until the user picks a family, so that
    // applying colours does not change the text's font.
    QString m_missingFamily;
    bool m_suppress = false;
};
