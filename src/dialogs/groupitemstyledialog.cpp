#include "dialogs/groupitemstyledialog.h"

#include "ui_groupitemstyledialog.h"

#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "dialogs/grouppreviewitem.h"
#include "dialogs/previewscene.h"

#include <QRegularExpressionValidator>
#include <QScopedValueRollback>

GroupItemStyleDialog::GroupItemStyleDialog(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::GroupItemStyleDialog>())
    , m_style(defaultGroupItemStyle())
{
    ui->setupUi(this);
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_lightFillAlpha = m_style.lightFill.alpha();
    m_darkFillAlpha = m_style.darkFill.alpha();

    for (QPushButton* b : {ui->pushButtonPickGroupFillLight, ui->pushButtonPickGroupBorderLight,
                           ui->pushButtonPickGroupTextLight, ui->pushButtonPickGroupFillDark,
                           ui->pushButtonPickGroupBorderDark, ui->pushButtonPickGroupTextDark})
        stylePickButton(b);
    QFont bold = ui->labelGroupLightColors->font();
    bold.setWeight(QFont::Bold);
    for (QLabel* label : {ui->labelGroupLightColors, ui->labelGroupDarkColors, ui->labelLightTheme,
                          ui->labelDarkTheme})
        label->setFont(bold);

    m_fields[LightFill] = {ui->frameGroupFillLight, ui->lineEditGroupFillHexLight, ui->pushButtonPickGroupFillLight,
                           QColor::HexArgb, &m_lightFillAlpha};
    m_fields[LightBorder] = {ui->frameGroupBorderLight, ui->lineEditGroupBorderHexLight,
                             ui->pushButtonPickGroupBorderLight};
    m_fields[LightTitle] = {ui->frameGroupTextLight, ui->lineEditGroupTextHexLight, ui->pushButtonPickGroupTextLight};
    m_fields[DarkFill] = {ui->frameGroupFillDark, ui->lineEditGroupFillHexDark, ui->pushButtonPickGroupFillDark,
                          QColor::HexArgb, &m_darkFillAlpha};
    m_fields[DarkBorder] = {ui->frameGroupBorderDark, ui->lineEditGroupBorderHexDark, ui->pushButtonPickGroupBorderDark};
    m_fields[DarkTitle] = {ui->frameGroupTextDark, ui->lineEditGroupTextHexDark, ui->pushButtonPickGroupTextDark};

    auto* rgb = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^#?[0-9A-Fa-f]{0,6}$")), this);
    auto* argb = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^#?[0-9A-Fa-f]{0,8}$")), this);
    for (HexColorField& field : m_fields) {
        const bool fill = field.alphaReference != nullptr;
        field.edit->setValidator(fill ? argb : rgb);
        field.edit->setPlaceholderText(fill ? QStringLiteral("#AARRGGBB") : QStringLiteral("#RRGGBB"));
    }

    m_lightScene = new PreviewScene(this);
    m_darkScene = new PreviewScene(this);
    m_lightScene->setSceneRect(0, 0, 260, 200);
    m_darkScene->setSceneRect(0, 0, 260, 200);
    m_lightScene->setThemeColors(ThemeManager::lightColors());
    m_darkScene->setThemeColors(ThemeManager::darkColors());
    m_lightScene->attachTo(ui->graphicsViewLight, false);
    m_darkScene->attachTo(ui->graphicsViewDark, true);
    m_lightItem = new GroupPreviewItem;
    m_darkItem = new GroupPreviewItem;
    m_lightItem->setPos(20, 25);
    m_darkItem->setPos(20, 25);
    m_lightScene->addItem(m_lightItem);
    m_darkScene->addItem(m_darkItem);

    const auto changed = [this] { updatePreviews(); };
    const char* const titles[FieldCount] = {
        QT_TR_NOOP("Choose group fill (light theme)"), QT_TR_NOOP("Choose group border (light theme)"),
        QT_TR_NOOP("Choose group title (light theme)"), QT_TR_NOOP("Choose group fill (dark theme)"),
        QT_TR_NOOP("Choose group border (dark theme)"), QT_TR_NOOP("Choose group title (dark theme)")};
    for (int i = 0; i < FieldCount; ++i)
        connectField(m_fields[i], this, tr(titles[i]), &m_suppress, changed);

    refreshFields();
}

GroupItemStyleDialog::~GroupItemStyleDialog() = default;

void GroupItemStyleDialog::setStyle(const GroupItemStyle& style)
{
    std::array<QColor, 6> colors = style.toArray();
    const std::array<QColor, 6> defaults = defaultGroupItemStyle().toArray();
    for (std::size_t i = 0; i < colors.size(); ++i) {
        if (!colors[i].isValid())
            colors[i] = defaults[i];
    }
    m_style = GroupItemStyle::fromArray(colors);
    m_lightFillAlpha = m_style.lightFill.alpha();
    m_darkFillAlpha = m_style.darkFill.alpha();
    refreshFields();
}

GroupItemStyle GroupItemStyleDialog::currentStyle() const
{
    std::array<QColor, 6> colors;
    for (int i = 0; i < FieldCount; ++i)
        colors[std::size_t(i)] = parseFieldColor(m_fields[i]);
    return GroupItemStyle::fromArray(colors);
}

void GroupItemStyleDialog::setApplyTarget(ApplyTarget target)
{
    ui->comboBoxApplyTo->setCurrentIndex(applyTargetFromIndex(int(target)));
}

GroupItemStyleDialog::ApplyTarget GroupItemStyleDialog::applyTarget() const
{
    return ApplyTarget(applyTargetFromIndex(ui->comboBoxApplyTo->currentIndex()));
}

void GroupItemStyleDialog::setUseForNew(bool on)
{
    ui->checkBoxUseNew->setChecked(on);
}

bool GroupItemStyleDialog::useForNew() const
{
    return ui->checkBoxUseNew->isChecked();
}

bool GroupItemStyleDialog::emitApply()
{
    const GroupItemStyle style = currentStyle();
    if (!style.allValid()) {
        DialogHooks::warning(this, tr("Invalid colors"), tr("Please enter valid hex colors for all fields."));
        return false;
    }
    emit applyRequested(style, applyTarget(), useForNew());
    return true;
}

void GroupItemStyleDialog::on_pushButtonOK_clicked()
{
    if (emitApply())
        accept();
}

void GroupItemStyleDialog::on_pushButtonApply_clicked()
{
    emitApply();
}

void GroupItemStyleDialog::on_pushButtonCancel_clicked()
{
    reject();
}

void GroupItemStyleDialog::refreshFields()
{
    {
        const QScopedValueRollback<bool> quiet(m_suppress, true);
        const std::array<QColor, 6> colors = m_style.toArray();
        for (int i = 0; i < FieldCount; ++i)
            setFieldColor(m_fields[i], colors[std::size_t(i)]);
    }
    updatePreviews();
}

void GroupItemStyleDialog::updatePreviews()
{
    const GroupItemStyle s = currentStyle();
    if (m_lightItem)
        m_lightItem->setColors(s.lightFill, s.lightBorder, s.lightTitle);
    if (m_darkItem)
        m_darkItem->setColors(s.darkFill, s.darkBorder, s.darkTitle);
}

void GroupItemStyleDialog::fitPreviews()
{
    PreviewScene::fitView(ui->graphicsViewLight);
    PreviewScene::fitView(ui->graphicsViewDark);
}

void GroupItemStyleDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitPreviews();
}

void GroupItemStyleDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    fitPreviews();
}
