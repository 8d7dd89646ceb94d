#pragma once

#include "dialogs/colorpreset.h"
#include "dialogs/dualthemecolorscheme.h"
#include "dialogs/hexcolorfield.h"

#include <QDialog>
#include <QList>

#include <array>
#include <memory>

class EntityPreviewItem;
class PreviewScene;

namespace Ui {
class ColorsDialog;
}

// "Table and view colors": the fill, border and text colours of tables and
// entity views for both themes, with built-in and user presets (kept in the
// settings as "ColorPresets") and a live sample in each theme. The result
// leaves only through applyRequested (Apply and OK).
class ColorsDialog : public QDialog
{
    Q_OBJECT
public:
    // The entries of the "Apply to" box.
    enum ApplyTarget : int {
        SelectedEntity = 0,
        SelectedEntities = 1,
        AllEntitiesInDiagram = 2,
        CurrentDefaultsOnly = 3,
    };
    Q_ENUM(ApplyTarget)

    explicit ColorsDialog(QWidget* parent = nullptr);
    ~ColorsDialog() override;

    // Loads the scheme into the fields; a scheme with any invalid colour
    // loads the default scheme instead. The preset box is left alone.
    void setScheme(const DualThemeColorScheme& scheme);
    // The scheme the fields stand for; each header equals its theme's fill.
    // A field that does not parse gives an invalid colour.
    DualThemeColorScheme currentScheme() const;
    // The built-in preset at a preset box index (1 to 6); the default
    // scheme for any other index.
    static DualThemeColorScheme presetScheme(int index);

    // A value outside the four targets selects "All entities in current
    // diagram".
    void setApplyTarget(ApplyTarget target);
    // The selected target; no entry or an unknown one counts as
    // AllEntitiesInDiagram.
    ApplyTarget applyTarget() const;
    void setUseForNewEntities(bool on);
    bool useForNewEntities() const;

    // The user presets read at construction and saved since.
    const QList<ColorPreset>& userPresets() const { return m_userPresets; }

signals:
    void applyRequested(DualThemeColorScheme scheme, ColorsDialog::ApplyTarget target, bool useForNewEntities);

private slots:
    void on_pushButtonOK_clicked();
    void on_pushButtonApply_clicked();
    void on_pushButtonCancel_clicked();
    void on_pushButtonResetPreset_clicked();
    void on_pushButtonSavePreset_clicked();
    void on_comboBoxPreset_currentIndexChanged(int index);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum Field { LightFill, LightBorder, LightText, DarkFill, DarkBorder, DarkText, FieldCount };

    void loadPresets();
    void savePresets();
    void populatePresetCombo();
    void selectPresetEntry(const QString& text);
    void refreshFields();
    void updatePreviews();
    void markCustom();
    void fitPreviews();
    // Emits the current scheme when every colour is valid, otherwise warns.
    bool emitApply();

    std::unique_ptr<Ui::ColorsDialog> ui;
    DualThemeColorScheme m_scheme;
    std::array<HexColorField, FieldCount> m_fields;
    PreviewScene* m_lightScene = nullptr;
    PreviewScene* m_darkScene = nullptr;
    EntityPreviewItem* m_lightItem = nullptr;
    EntityPreviewItem* m_darkItem = nullptr;
    QList<ColorPreset> m_userPresets;
    bool m_suppress = false;
};
