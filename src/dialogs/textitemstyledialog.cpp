#include "dialogs/textitemstyledialog.h"

#include "ui_textitemstyledialog.h"

#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "dialogs/previewscene.h"
#include "dialogs/textpreviewitem.h"

#include <QRegularExpressionValidator>
#include <QScopedValueRollback>

#include <algorithm>

TextItemStyleDialog::TextItemStyleDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::TextItemStyleDialog>())
    , m_style(defaultTextItemStyle())
{
    ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    stylePickButton(ui->pushButtonPickTextColorLight);
    stylePickButton(ui->pushButtonPickTextColorDark);

    QFont f = ui->btnTextBold->font();
    f.setWeight(QFont::Bold);
    ui->btnTextBold->setFont(f);
    f = ui->btnTextItalic->font();
    f.setItalic(true);
    ui->btnTextItalic->setFont(f);
    f = ui->btnTextUnderline->font();
    f.setUnderline(true);
    ui->btnTextUnderline->setFont(f);
    QFont bold = ui->labelTextLightColors->font();
    bold.setWeight(QFont::Bold);
    for (QLabel* label : {ui->labelTextLightColors, ui->labelTextDarkColors, ui->labelLightTheme, ui->labelDarkTheme})
        label->setFont(bold);

    // The sample shows the light theme's colour: it sits on the light
    // canvas whatever the application's theme.
    ui->frameFontPreview->setStyleSheet(QStringLiteral(
        "QFrame#frameFontPreview { background-color: #FFFFFF; border: 1px solid #D4D4D4; border-radius: 3px; }"));

    m_fields[LightColor] = {ui->frameTextColorLight, ui->lineEditTextHexLight, ui->pushButtonPickTextColorLight};
    m_fields[DarkColor] = {ui->frameTextColorDark, ui->lineEditTextHexDark, ui->pushButtonPickTextColorDark};
    auto* validator =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^#?[0-9A-Fa-f]{0,6}$")), this);
    for (HexColorField& field : m_fields) {
        field.edit->setValidator(validator);
        field.edit->setPlaceholderText(QStringLiteral("#RRGGBB"));
    }

    m_lightScene = new PreviewScene(this);
    m_darkScene = new PreviewScene(this);
    m_lightScene->setSceneRect(0, 0, 240, 160);
    m_darkScene->setSceneRect(0, 0, 240, 160);
    m_lightScene->setThemeColors(ThemeManager::lightColors());
    m_darkScene->setThemeColors(ThemeManager::darkColors());
    m_lightScene->attachTo(ui->graphicsViewLight, false);
    m_darkScene->attachTo(ui->graphicsViewDark, true);
    m_lightItem = new TextPreviewItem;
    m_darkItem = new TextPreviewItem;
    m_lightItem->setPos(24, 56);
    m_darkItem->setPos(24, 56);
    m_lightScene->addItem(m_lightItem);
    m_darkScene->addItem(m_darkItem);

    const auto changed = [this] {
        updateFontPreview();
        updatePreviews();
    };
    const auto fontChanged = [this, changed] {
        if (!m_suppress)
            changed();
    };
    connect(ui->fontComboText, &QFontComboBox::currentFontChanged, this, [this, changed] {
        if (m_suppress)
            return;
        m_missingFamily.clear();
        changed();
    });
    connect(ui->spinTextSize, &QSpinBox::valueChanged, this, fontChanged);
    for (QToolButton* b : {ui->btnTextBold, ui->btnTextItalic, ui->btnTextUnderline})
        connect(b, &QToolButton::toggled, this, fontChanged);
    connectField(m_fields[LightColor], this, tr("Choose text-item color (light theme)"), &m_suppress, changed);
    connectField(m_fields[DarkColor], this, tr("Choose text-item color (dark theme)"), &m_suppress, changed);

    refreshWidgets();
}

TextItemStyleDialog::~TextItemStyleDialog() = default;

void TextItemStyleDialog::setStyle(const TextItemStyle& style)
{
    m_style = style;
    if (m_style.font.family().isEmpty())
        m_style.font = QFont(QStringLiteral("JetBrains Mono"), 12);
    else if (m_style.font.pointSize() < 1)
        m_style.font.setPointSize(12);
    if (!m_style.lightColor.isValid())
        m_style.lightColor = ThemeManager::lightColors()[ThemeSlot::Text];
    if (!m_style.darkColor.isValid())
        m_style.darkColor = ThemeManager::darkColors()[ThemeSlot::Text];
    refreshWidgets();
}

TextItemStyle TextItemStyleDialog::currentStyle() const
{
    QFont font = ui->fontComboText->currentFont();
    if (!m_missingFamily.isEmpty())
        font.setFamily(m_missingFamily);
    font.setPointSize(ui->spinTextSize->value());
    font.setWeight(ui->btnTextBold->isChecked() ? QFont::Bold : QFont::Normal);
    font.setStyle(ui->btnTextItalic->isChecked() ? QFont::StyleItalic : QFont::StyleNormal);
    font.setUnderline(ui->btnTextUnderline->isChecked());
    return {font, parseFieldColor(m_fields[LightColor]), parseFieldColor(m_fields[DarkColor])};
}

void TextItemStyleDialog::setApplyTarget(ApplyTarget target)
{
    ui->comboBoxApplyTo->setCurrentIndex(applyTargetFromIndex(int(target)));
}

TextItemStyleDialog::ApplyTarget TextItemStyleDialog::applyTarget() const
{
    return ApplyTarget(applyTargetFromIndex(ui->comboBoxApplyTo->currentIndex()));
}

void TextItemStyleDialog::setUseForNew(bool on)
{
    ui->checkBoxUseNew->setChecked(on);
}

bool TextItemStyleDialog::useForNew() const
{
    return ui->checkBoxUseNew->isChecked();
}

bool TextItemStyleDialog::emitApply()
{
    const TextItemStyle style = currentStyle();
    if (!style.colorsValid()) {
        DialogHooks::warning(this, tr("Invalid colors"), tr("Please enter valid hex colors for all fields."));
        return false;
    }
    emit applyRequested(style, applyTarget(), useForNew());
    return true;
}

void TextItemStyleDialog::on_pushButtonOK_clicked()
{
    if (emitApply())
        accept();
}

void TextItemStyleDialog::on_pushButtonApply_clicked()
{
    emitApply();
}

void TextItemStyleDialog::on_pushButtonCancel_clicked()
{
    reject();
}

void TextItemStyleDialog::refreshWidgets()
{
    {
        const QScopedValueRollback<bool> quiet(m_suppress, true);
        const QFont& font = m_style.font;
        ui->fontComboText->setCurrentFont(font);
        const QString offered = ui->fontComboText->currentFont().family();
        m_missingFamily.clear();
        if (offered.compare(font.family(), Qt::CaseInsensitive) != 0)
            m_missingFamily = font.family();
        ui->spinTextSize->setValue(std::clamp(font.pointSize(), 8, 72));
        ui->btnTextBold->setChecked(font.weight() > QFont::Medium);
        ui->btnTextItalic->setChecked(font.style() != QFont::StyleNormal);
        ui->btnTextUnderline->setChecked(font.underline());
        setFieldColor(m_fields[LightColor], m_style.lightColor);
        setFieldColor(m_fields[DarkColor], m_style.darkColor);
    }
    updateFontPreview();
    updatePreviews();
}

void TextItemStyleDialog::updateFontPreview()
{
    const TextItemStyle style = currentStyle();
    ui->labelFontPreview->setFont(style.font);
    const QColor color = style.lightColor.isValid() ? style.lightColor : QColor(Qt::black);
    ui->labelFontPreview->setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(color.name()));
}

void TextItemStyleDialog::updatePreviews()
{
    const TextItemStyle style = currentStyle();
    if (m_lightItem)
        m_lightItem->setFontAndColor(style.font, style.lightColor);
    if (m_darkItem)
        m_darkItem->setFontAndColor(style.font, style.darkColor);
}

void TextItemStyleDialog::fitPreviews()
{
    PreviewScene::fitView(ui->graphicsViewLight);
    PreviewScene::fitView(ui->graphicsViewDark);
}

void TextItemStyleDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitPreviews();
}

void TextItemStyleDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitPreviews();
}
