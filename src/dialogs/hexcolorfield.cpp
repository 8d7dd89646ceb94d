#include "dialogs/hexcolorfield.h"

#include "app/dialoghooks.h"
#include "app/thememanager.h"
#include "app/themeutils.h"

#include <QColorDialog>
#include <QFrame>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

QColor parseFieldColor(const HexColorField& field)
{
    if (!field.edit)
        return {};
    QString text = field.edit->text().trimmed();
    if (text.isEmpty())
        return {};
    if (!text.startsWith(QLatin1Char('#')))
        text.prepend(QLatin1Char('#'));
    QColor color = QColor::fromString(text);
    if (!color.isValid())
        return {};
    if (field.alphaReference && *field.alphaReference >= 0 && *field.alphaReference < 255 && text.size() == 7)
        color.setAlpha(*field.alphaReference);
    return color;
}

void setFieldColor(HexColorField& field, const QColor& color)
{
    if (!color.isValid() || !field.edit)
        return;
    if (field.alphaReference)
        *field.alphaReference = color.alpha();
    {
        const QSignalBlocker blocker(field.edit);
        field.edit->setText(color.name(field.format).toUpper());
    }
    QColor shown = color;
    if (field.format == QColor::HexRgb)
        shown.setAlpha(255);
    applySwatch(field.swatch, shown);
}

void applySwatch(QFrame* frame, const QColor& color)
{
    if (!frame || !color.isValid())
        return;
    frame->setStyleSheet(
        QStringLiteral("QFrame { background-color: rgba(%1, %2, %3, %4); border: 1px solid #9AA0A6; "
                       "border-radius: 4px;}")
            .arg(color.red())
            .arg(color.green())
            .arg(color.blue())
            .arg(color.alpha()));
}

bool pickFieldColor(HexColorField& field, QWidget* dialog, const QString& title,
                    const std::function<void()>& changed)
{
    QColor start = parseFieldColor(field);
    if (!start.isValid())
        start = Qt::white;
    const QColor picked = DialogHooks::getColor(start, dialog, title, QColorDialog::ShowAlphaChannel);
    if (!picked.isValid())
        return false;
    setFieldColor(field, picked);
    if (changed)
        changed();
    return true;
}

void connectField(HexColorField& field, QWidget* dialog, const QString& title, const bool* suppress,
                  const std::function<void()>& changed)
{
    HexColorField* f = &field;
    QObject::connect(field.pickButton, &QPushButton::clicked, dialog,
                     [f, dialog, title, changed] { pickFieldColor(*f, dialog, title, changed); });
    QObject::connect(field.edit, &QLineEdit::editingFinished, dialog, [f, changed] {
        const QColor color = parseFieldColor(*f);
        if (!color.isValid())
            return;
        setFieldColor(*f, color);
        if (changed)
            changed();
    });
    QObject::connect(field.edit, &QLineEdit::textChanged, dialog, [f, suppress, changed] {
        if (suppress && *suppress)
            return;
        const QColor color = parseFieldColor(*f);
        if (!color.isValid())
            return;
        applySwatch(f->swatch, color);
        if (changed)
            changed();
    });
}

void stylePickButton(QPushButton* button)
{
    if (!button)
        return;
    button->setText(QString());
    // The glyph is dark; on the dark theme it is shown inverted, as the
    // window's own icons are.
    const QIcon icon(QStringLiteral(":/images/resources/images/pick-color.png"));
    const QIcon inverted = ThemeManager::instance().isDark() ? makeInvertedIcon(icon, QSize(32, 32)) : QIcon();
    button->setIcon(inverted.isNull() ? icon : inverted);
    button->setIconSize(QSize(16, 16));
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(QObject::tr("Pick color"));
    button->setStyleSheet(QStringLiteral("QPushButton { padding: 2px; min-width: 24px; max-width: 24px; "
                                         "min-height: 24px; max-height: 24px;}"));
}
