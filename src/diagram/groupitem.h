#pragma once

#include "diagram/annotationitem.h"
#include "diagram/erscene.h"
#include "dialogs/stylerecords.h"

#include <QColor>
#include <QFont>
#include <QJsonObject>
#include <QRectF>
#include <QSizeF>
#include <QString>

// A titled, rounded frame drawn behind entities to group them visually. It
// lies below everything else (z -1000), can be moved, selected and resized
// with eight handles (never below 80 x 40), edits its title in place on a
// double click on the title, and has its own fill, border and title colours
// for the light and the dark theme.
class GroupItem : public AnnotationItem
{
    Q_OBJECT
public:
    enum { Type = DiagramItemType::Group };
    static constexpr qreal ZValue = -1000;
    static constexpr qreal MinimumWidth = 80;
    static constexpr qreal MinimumHeight = 40;

    // The size is taken as given; only setRect, resizing and reading JSON
    // keep the minimum.
    GroupItem(const QString& title, QSizeF size, QGraphicsItem* parent = nullptr);

    int type() const override { return Type; }
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    QFont titleFont() const { return m_titleFont; }

    // Moves the item to rect's top-left; the size is raised to 80 x 40.
    void setRect(QRectF rect) override;

    // Where the title is drawn, in item coordinates.
    QRectF titleRect() const;

    // Stores each valid colour and keeps the current one for each invalid.
    void setColors(const QColor& fillLight, const QColor& borderLight, const QColor& textColorLight,
                   const QColor& fillDark, const QColor& borderDark, const QColor& textColorDark);
    void setColors(const GroupItemStyle& style);
    // The six stored colours (light fill, border, title, then dark).
    GroupItemStyle colors() const;

    // The stored colours of the current theme.
    QColor fillColor() const;
    QColor borderColor() const;
    QColor textColor() const;

    // The "group-item" object of the diagram JSON.
    QJsonObject toJson() const;
    void fromJson(const QJsonObject& obj);

protected:
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;

    // The title is edited in place with an editor that lives in the scene
    // on top of everything.
    QSizeF minimumResizeSize() const override { return QSizeF(MinimumWidth, MinimumHeight); }
    QString editedText() const override { return m_title; }
    QFont editedTextFont() const override { return m_titleFont; }
    QColor editedTextColor() const override { return textColor(); }
    void placeEditor(SingleLineTextItem* editor) override;
    void applyEditedText(const QString& text) override;
    void requestStyleDialog() override;

private:
    QString m_title;
    QFont m_titleFont;
    QColor m_fillLight;
    QColor m_fillDark;
    QColor m_borderLight;
    QColor m_borderDark;
    QColor m_textColorLight;
    QColor m_textColorDark;
};
