#pragma once

#include "dialogs/hexcolorfield.h"
#include "dialogs/stylerecords.h"

#include <QDialog>

#include <array>
#include <memory>

class GroupPreviewItem;
class PreviewScene;

namespace Ui {
class GroupItemStyleDialog;
}

// "Group style": fill, border and title colours of group frames for both
// themes, with a sample frame shown live in each. The fills carry
// transparency: their fields read and write "#AARRGGBB", and a six-digit
// entry keeps the fill's current alpha. The result leaves only through
// applyRequested (Apply and OK).
class GroupItemStyleDialog : public QDialog
{
    Q_OBJECT
public:
    // The entries of the "Apply to" box.
    enum ApplyTarget : int {
        SelectedGroup = 0,
        SelectedGroups = 1,
        AllGroupsInDiagram = 2,
        CurrentDefaultsOnly = 3,
    };
    Q_ENUM(ApplyTarget)

    explicit GroupItemStyleDialog(QWidget* parent = nullptr);
    ~GroupItemStyleDialog() override;

    // Loads the style; each invalid colour is replaced by the default one.
    void setStyle(const GroupItemStyle& style);
    // The six colours the fields stand for; a field that does not parse
    // gives an invalid colour.
    GroupItemStyle currentStyle() const;

    // A value outside the four targets selects "All groups in current
    // diagram".
    void setApplyTarget(ApplyTarget target);
    ApplyTarget applyTarget() const;
    void setUseForNew(bool on);
    bool useForNew() const;

signals:
    void applyRequested(GroupItemStyle style, GroupItemStyleDialog::ApplyTarget target, bool useForNew);

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonApply_clicked();
    void on_pushButtonCancel_clicked();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum Field { LightFill, LightBorder, LightTitle, DarkFill, DarkBorder, DarkTitle, FieldCount };

    void refreshFields();
    void updatePreviews();
    void fitPreviews();
    bool emitApply();

    std::unique_ptr<Ui::GroupItemStyleDialog> ui;
    GroupItemStyle m_style;
    std::array<HexColorField, FieldCount> m_fields;
    // The alpha a six-digit entry in each fill takes.
    int m_lightFillAlpha = 90;
    int m_darkFillAlpha = 90;
    PreviewScene* m_lightScene = nullptr;
    PreviewScene* m_darkScene = nullptr;
    GroupPreviewItem* m_lightItem = nullptr;
    GroupPreviewItem* m_darkItem = nullptr;
    bool m_suppress = false;
};
