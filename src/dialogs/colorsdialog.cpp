#include "dialogs/colorsdialog.h"

#include "ui_colorsdialog.h"

#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "dialogs/entitypreviewitem.h"
#include "dialogs/previewscene.h"
#include "dialogs/stylerecords.h"

#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QSettings>

namespace {
const QString CustomEntry = QStringLiteral("Custom");
constexpr int FirstBuiltInEntry = 1;
constexpr int FirstUserEntry = 7;
} // namespace

ColorsDialog::ColorsDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ColorsDialog>())
    , m_scheme(defaultDualThemeColorScheme())
{
    ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    for (QPushButton* b : {ui->pushButtonPickBgColorLight, ui->pushButtonPickFgColorLight,
                           ui->pushButtonPickTxtColorLight, ui->pushButtonPickBgColorDark,
                           ui->pushButtonPickFgColorDark, ui->pushButtonPickTxtColorDark})
        stylePickButton(b);

    QFont bold = ui->labelLightColors->font();
    bold.setWeight(QFont::Bold);
    for (QLabel* label : {ui->labelLightColors, ui->labelDarkColors, ui->labelLightTheme, ui->labelDarkTheme})
        label->setFont(bold);

    m_fields[LightFill] = {ui->frameBgColorLight, ui->lineEditBgHexLight, ui->pushButtonPickBgColorLight};
    m_fields[LightBorder] = {ui->frameFgColorLight, ui->lineEditFgHexLight, ui->pushButtonPickFgColorLight};
    m_fields[LightText] = {ui->frameTxtColorLight, ui->lineEditTxtHexLight, ui->pushButtonPickTxtColorLight};
    m_fields[DarkFill] = {ui->frameBgColorDark, ui->lineEditBgHexDark, ui->pushButtonPickBgColorDark};
    m_fields[DarkBorder] = {ui->frameFgColorDark, ui->lineEditFgHexDark, ui->pushButtonPickFgColorDark};
    m_fields[DarkText] = {ui->frameTxtColorDark, ui->lineEditTxtHexDark, ui->pushButtonPickTxtColorDark};

    auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^#?[0-9A-Fa-f]{0,6}$")), this);
    for (HexColorField& field : m_fields) {
        field.edit->setValidator(validator);
        field.edit->setPlaceholderText(QStringLiteral("#RRGGBB"));
    }

    loadPresets();
    populatePresetCombo();

    m_lightScene = new PreviewScene(this);
    m_darkScene = new PreviewScene(this);
    m_lightScene->setSceneRect(0, 0, 260, 220);
    m_darkScene->setSceneRect(0, 0, 260, 220);
    m_lightScene->setThemeColors(ThemeManager::lightColors());
    m_darkScene->setThemeColors(ThemeManager::darkColors());
    m_lightScene->attachTo(ui->graphicsViewLight, false);
    m_darkScene->attachTo(ui->graphicsViewDark, true);
    m_lightItem = new EntityPreviewItem;
    m_darkItem = new EntityPreviewItem;
    m_lightItem->setPos(20, 28);
    m_darkItem->setPos(20, 28);
    m_lightScene->addItem(m_lightItem);
    m_darkScene->addItem(m_darkItem);

    const auto changed = [this] {
        updatePreviews();
        markCustom();
    };
    const char* const titles[FieldCount] = {
        QT_TR_NOOP("Choose table fill (light theme)"), QT_TR_NOOP("Choose table border (light theme)"),
        QT_TR_NOOP("Choose table text (light theme)"), QT_TR_NOOP("Choose table fill (dark theme)"),
        QT_TR_NOOP("Choose table border (dark theme)"), QT_TR_NOOP("Choose table text (dark theme)")};
    for (int i = 0; i < FieldCount; ++i)
        connectField(m_fields[i], this, tr(titles[i]), &m_suppress, changed);

    refreshFields();
}

ColorsDialog::~ColorsDialog() = default;

void ColorsDialog::setScheme(const DualThemeColorScheme& scheme)
{
    m_scheme = scheme.allValid() ? scheme : defaultDualThemeColorScheme();
    refreshFields();
}

DualThemeColorScheme ColorsDialog::currentScheme() const
{
    DualThemeColorScheme s;
    s.lightBackground = parseFieldColor(m_fields[LightFill]);
    s.lightHeader = s.lightBackground;
    s.lightBorder = parseFieldColor(m_fields[LightBorder]);
    s.lightText = parseFieldColor(m_fields[LightText]);
    s.darkBackground = parseFieldColor(m_fields[DarkFill]);
    s.darkHeader = s.darkBackground;
    s.darkBorder = parseFieldColor(m_fields[DarkBorder]);
    s.darkText = parseFieldColor(m_fields[DarkText]);
    return s;
}

DualThemeColorScheme ColorsDialog::presetScheme(int index)
{
    const QList<ColorPreset>& builtIn = builtInColorPresets();
    const int i = index - FirstBuiltInEntry;
    if (i < 0 || i >= builtIn.size())
        return defaultDualThemeColorScheme();
    return builtIn.at(i).scheme;
}

void ColorsDialog::setApplyTarget(ApplyTarget target)
{
    ui->comboBoxSelectedChoice->setCurrentIndex(applyTargetFromIndex(int(target)));
}

ColorsDialog::ApplyTarget ColorsDialog::applyTarget() const
{
    return ApplyTarget(applyTargetFromIndex(ui->comboBoxSelectedChoice->currentIndex()));
}

void ColorsDialog::setUseForNewEntities(bool on)
{
    ui->checkBoxUseNewEntities->setChecked(on);
}

bool ColorsDialog::useForNewEntities() const
{
    return ui->checkBoxUseNewEntities->isChecked();
}

// ------------------------------------------------------------ buttons

bool ColorsDialog::emitApply()
{
    const DualThemeColorScheme scheme = currentScheme();
    if (!scheme.allValid()) {
        DialogHooks::warning(this, tr("Invalid colors"), tr("Please enter valid hex colors for all fields."));
        return false;
    }
    emit applyRequested(scheme, applyTarget(), useForNewEntities());
    return true;
}

void ColorsDialog::on_pushButtonOK_clicked()
{
    if (emitApply())
        accept();
}

void ColorsDialog::on_pushButtonApply_clicked()
{
    emitApply();
}

void ColorsDialog::on_pushButtonCancel_clicked()
{
    reject();
}

// ------------------------------------------------------------ presets

void ColorsDialog::on_pushButtonResetPreset_clicked()
{
    setScheme(defaultDualThemeColorScheme());
    const QScopedValueRollback<bool> quiet(m_suppress, true);
    ui->comboBoxPreset->setCurrentIndex(FirstBuiltInEntry);
}

void ColorsDialog::on_pushButtonSavePreset_clicked()
{
    bool ok = false;
    const QString name =
        DialogHooks::getText(this, tr("Save preset"), tr("Preset name:"), QString(), &ok).trimmed();
    if (!ok || name.isEmpty())
        return;
    if (isReservedColorPresetName(name)) {
        DialogHooks::warning(this, tr("Save preset"), tr("That name is reserved for a built-in preset."));
        return;
    }
    const DualThemeColorScheme scheme = currentScheme();
    bool replaced = false;
    for (ColorPreset& preset : m_userPresets) {
        if (preset.name.compare(name, Qt::CaseInsensitive) == 0) {
            preset.scheme = scheme;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        m_userPresets.append({name, scheme});
    savePresets();
    populatePresetCombo();
    selectPresetEntry(name);
}

void ColorsDialog::on_comboBoxPreset_currentIndexChanged(int index)
{
    if (m_suppress || index < FirstBuiltInEntry)
        return;
    if (index < FirstUserEntry) {
        m_scheme = presetScheme(index);
    } else {
        const int user = index - FirstUserEntry;
        if (user >= m_userPresets.size())
            return;
        m_scheme = m_userPresets.at(user).scheme;
    }
    refreshFields();
}

void ColorsDialog::loadPresets()
{
    QSettings settings;
    m_userPresets = readColorPresets(settings);
}

void ColorsDialog::savePresets()
{
    QSettings settings;
    writeColorPresets(settings, m_userPresets);
}

void ColorsDialog::populatePresetCombo()
{
    const QScopedValueRollback<bool> quiet(m_suppress, true);
    const QString current = ui->comboBoxPreset->currentText();
    ui->comboBoxPreset->clear();
    ui->comboBoxPreset->addItem(CustomEntry);
    for (const ColorPreset& preset : builtInColorPresets())
        ui->comboBoxPreset->addItem(preset.name);
    for (const ColorPreset& preset : std::as_const(m_userPresets))
        ui->comboBoxPreset->addItem(preset.name);
    selectPresetEntry(current);
}

void ColorsDialog::selectPresetEntry(const QString& text)
{
    const QScopedValueRollback<bool> quiet(m_suppress, true);
    const int index = ui->comboBoxPreset->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ui->comboBoxPreset->setCurrentIndex(index < 0 ? 0 : index);
}

// ------------------------------------------------------------ fields and previews

void ColorsDialog::refreshFields()
{
    {
        const QScopedValueRollback<bool> quiet(m_suppress, true);
        setFieldColor(m_fields[LightFill], m_scheme.lightBackground);
        setFieldColor(m_fields[LightBorder], m_scheme.lightBorder);
        setFieldColor(m_fields[LightText], m_scheme.lightText);
        setFieldColor(m_fields[DarkFill], m_scheme.darkBackground);
        setFieldColor(m_fields[DarkBorder], m_scheme.darkBorder);
        setFieldColor(m_fields[DarkText], m_scheme.darkText);
    }
    updatePreviews();
}

void ColorsDialog::updatePreviews()
{
    const DualThemeColorScheme s = currentScheme();
    if (m_lightItem)
        m_lightItem->setColors(s.lightBackground, s.lightHeader, s.lightBorder, s.lightText);
    if (m_darkItem)
        m_darkItem->setColors(s.darkBackground, s.darkHeader, s.darkBorder, s.darkText);
}

void ColorsDialog::markCustom()
{
    if (m_suppress)
        return;
    const QScopedValueRollback<bool> quiet(m_suppress, true);
    ui->comboBoxPreset->setCurrentIndex(0);
}

void ColorsDialog::fitPreviews()
{
    PreviewScene::fitView(ui->graphicsViewLight);
    PreviewScene::fitView(ui->graphicsViewDark);
}

void ColorsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitPreviews();
}

void ColorsDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitPreviews();
}
