#pragma once

#include "diagram/annotationitem.h"
#include "diagram/erscene.h"
#include "dialogs/stylerecords.h"

#include <QColor>
#include <QFont>
#include <QJsonObject>
#include <QJsonValue>
#include <QRectF>
#include <QSizeF>
#include <QString>

// The colour named by a JSON string in any form QColor::fromString accepts
// ("#RRGGBB", "#AARRGGBB", colour names); fallback for anything else.
QColor colorFromJson(const QJsonValue& value, const QColor& fallback);

// A free-standing text annotation: one line of text in its own font and
// colour per theme, inside a box that can be moved, resized with eight
// handles while selected, and edited in place with a double click. Text
// items lie above everything else on the canvas (z 1000). Painted without a
// widget (export), the text becomes glyph outlines and no handles show.
class TextItem : public AnnotationItem
{
    Q_OBJECT
public:
    enum { Type = DiagramItemType::Text };
    static constexpr qreal ZValue = 1000;

    explicit TextItem(const QString& text, QGraphicsItem* parent = nullptr);

    int type() const override { return Type; }
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    QString text() const { return m_text; }
    // Changes the text; the box grows to fit it but never shrinks.
    void setText(const QString& text);

    QFont font() const { return m_font; }
    // Changes the font; the box grows to fit the text but never shrinks.
    void setFont(const QFont& font);

    // The stored colours, always valid.
    QColor lightColor() const { return m_lightColor; }
    QColor darkColor() const { return m_darkColor; }
    // Stores each colour that is valid and leaves the other unchanged.
    void setColors(const QColor& light, const QColor& dark);
    // The stored colour of the current theme.
    QColor effectiveColor() const;

    // Font and stored colours as one record.
    TextItemStyle style() const { return {m_font, m_lightColor, m_darkColor}; }

    // The smallest box that shows the text ("Text" while it is empty).
    QSizeF textBoxSize() const;

    // The "text-item" object of the diagram JSON.
    QJsonObject toJson() const;
    void fromJson(const QJsonObject& obj);

protected:
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

    // The text never shrinks below what it needs; the editor is a child
    // item over the text.
    QSizeF minimumResizeSize() const override;
    QString editedText() const override { return m_text; }
    QFont editedTextFont() const override { return m_font; }
    QColor editedTextColor() const override { return effectiveColor(); }
    void placeEditor(SingleLineTextItem* editor) override;
    void applyEditedText(const QString& text) override;
    void requestStyleDialog() override;

private:
    void growToFitText();

    QString m_text;
    QFont m_font;
    QColor m_lightColor;
    QColor m_darkColor;
};
