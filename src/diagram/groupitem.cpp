#include "diagram/groupitem.h"

#include "app/thememanager.h"
#include "diagram/itemdrawing.h"
#include "model/jsonfields.h"
#include "diagram/textitem.h"

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionGraphicsItem>

#include <algorithm>

namespace {

const QString PlaceholderTitle = QStringLiteral("Group");

constexpr qreal CornerRadius = 2;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

QString colorText(const QColor& color)
{
    return color.name(QColor::HexArgb);
}

} // namespace

// ------------------------------------------------------------ construction

GroupItem::GroupItem(const QString& title, QSizeF size, QGraphicsItem* parent)
    : AnnotationItem(ZValue, size, parent)
    , m_title(title)
{
    m_titleFont = QFont(QStringLiteral("JetBrains Mono"));
    m_titleFont.setPointSize(10);
    m_titleFont.setWeight(QFont::Bold);

    const GroupItemStyle builtIn = defaultGroupItemStyle();
    m_fillLight = builtIn.lightFill;
    m_fillDark = builtIn.darkFill;
    m_borderLight = builtIn.lightBorder;
    m_borderDark = builtIn.darkBorder;
    m_textColorLight = builtIn.lightTitle;
    m_textColorDark = builtIn.darkTitle;

    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsGeometryChanges);
}

// ---------------------------------------------------------------- geometry

QPainterPath GroupItem::shape() const
{
    // A selected frame is grabbed at its handles too, which stick out of it.
    QPainterPath path;
    path.addRoundedRect(isSelected() ? boundingRect() : rect(), CornerRadius, CornerRadius);
    return path;
}

void GroupItem::setRect(QRectF rect)
{
    AnnotationItem::setRect(QRectF(rect.topLeft(), QSizeF(std::max(MinimumWidth, rect.width()),
                                                          std::max(MinimumHeight, rect.height()))));
}

QRectF GroupItem::titleRect() const
{
    const QFontMetricsF metrics(m_titleFont);
    const QString shown = m_title.isEmpty() ? PlaceholderTitle : m_title;
    return QRectF(8, 4, std::max(metrics.horizontalAdvance(shown) + 8, 40.0), std::max(metrics.height() + 2, 16.0));
}

// ------------------------------------------------------------- appearance

void GroupItem::setTitle(const QString& title)
{
    m_title = title;
    update();
}

void GroupItem::setColors(const QColor& fillLight, const QColor& borderLight, const QColor& textColorLight,
                          const QColor& fillDark, const QColor& borderDark, const QColor& textColorDark)
{
    const auto keep = [](QColor& member, const QColor& value) {
        if (value.isValid())
            member = value;
    };
    keep(m_fillLight, fillLight);
    keep(m_borderLight, borderLight);
    keep(m_textColorLight, textColorLight);
    keep(m_fillDark, fillDark);
    keep(m_borderDark, borderDark);
    keep(m_textColorDark, textColorDark);
    refreshEditorColor();
}

void GroupItem::setColors(const GroupItemStyle& style)
{
    setColors(style.lightFill, style.lightBorder, style.lightTitle, style.darkFill, style.darkBorder,
              style.darkTitle);
}

GroupItemStyle GroupItem::colors() const
{
    return {m_fillLight, m_borderLight, m_textColorLight, m_fillDark, m_borderDark, m_textColorDark};
}

QColor GroupItem::fillColor() const
{
    return ThemeManager::instance().isDark() ? m_fillDark : m_fillLight;
}

QColor GroupItem::borderColor() const
{
    return ThemeManager::instance().isDark() ? m_borderDark : m_borderLight;
}

QColor GroupItem::textColor() const
{
    return ThemeManager::instance().isDark() ? m_textColorDark : m_textColorLight;
}

// ---------------------------------------------------------------- painting

void GroupItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    const QColor accent = ThemeManager::instance().color(ThemeSlot::Selection);
    // Without a widget the frame is being rendered for export: no decoration.
    const bool selected = widget && option && (option->state & QStyle::State_Selected);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    QPen pen = selected ? QPen(accent, 2.0) : QPen(borderColor(), 1.5);
    pen.setStyle(Qt::SolidLine);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::BevelJoin);
    painter->setPen(pen);
    painter->setBrush(fillColor());
    painter->drawRoundedRect(rect(), CornerRadius, CornerRadius);

    if (!editor())
        drawBoxText(painter, titleRect(), m_titleFont, m_title, textColor(), widget != nullptr);

    if (selected)
        drawSelectionFrame(painter, rect(), accent);
    painter->restore();
}

// ----------------------------------------------------------- title editing

void GroupItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    // A little slack around the title, more to the right where a short
    // title ends early.
    const QRectF hitArea = titleRect().adjusted(-4, -4, 8, 4);
    if (hitArea.contains(event->pos()))
        startEditing();
    event->accept();
}

void GroupItem::placeEditor(SingleLineTextItem* editor)
{
    editor->setZValue(1000);
    editor->setPos(mapToScene(titleRect().topLeft()));
    scene()->addItem(editor);
}

void GroupItem::applyEditedText(const QString& text)
{
    setTitle(text.trimmed().isEmpty() ? PlaceholderTitle : text);
}

// ------------------------------------------------------------ context menu

void GroupItem::requestStyleDialog()
{
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        emit erScene->groupStyleDialogRequested();
}

// -------------------------------------------------------------------- JSON

QJsonObject GroupItem::toJson() const
{
    QJsonObject obj = boxJson(QStringLiteral("group-item"));
    obj.insert(key("title"), m_title);
    obj.insert(key("fillLight"), colorText(m_fillLight));
    obj.insert(key("borderLight"), colorText(m_borderLight));
    obj.insert(key("textColorLight"), colorText(m_textColorLight));
    obj.insert(key("fillDark"), colorText(m_fillDark));
    obj.insert(key("borderDark"), colorText(m_borderDark));
    obj.insert(key("textColorDark"), colorText(m_textColorDark));
    return obj;
}

void GroupItem::fromJson(const QJsonObject& obj)
{
    readIdAndPosition(obj);
    const double w = jsonfields::readCoordinate(obj.value(key("width")), rect().width());
    const double h = jsonfields::readCoordinate(obj.value(key("height")), rect().height());
    m_title = obj.value(key("title")).toString(m_title);

    const bool perTheme = obj.contains(key("fillLight")) || obj.contains(key("fillDark"))
        || obj.contains(key("borderLight")) || obj.contains(key("textColorLight"));
    if (perTheme) {
        m_fillLight = colorFromJson(obj.value(key("fillLight")), m_fillLight);
        m_borderLight = colorFromJson(obj.value(key("borderLight")), m_borderLight);
        m_textColorLight = colorFromJson(obj.value(key("textColorLight")), m_textColorLight);
        m_fillDark = colorFromJson(obj.value(key("fillDark")), m_fillDark);
        m_borderDark = colorFromJson(obj.value(key("borderDark")), m_borderDark);
        m_textColorDark = colorFromJson(obj.value(key("textColorDark")), m_textColorDark);
    } else {
        // Older files kept one colour of each kind for both themes.
        const QColor fill = colorFromJson(obj.value(key("fill")), QColor());
        const QColor border = colorFromJson(obj.value(key("border")), QColor());
        const QColor text = colorFromJson(obj.value(key("textColor")), QColor());
        if (fill.isValid())
            m_fillLight = m_fillDark = fill;
        if (border.isValid())
            m_borderLight = m_borderDark = border;
        if (text.isValid())
            m_textColorLight = m_textColorDark = text;
    }

    setSize(QSizeF(std::max(MinimumWidth, w), std::max(MinimumHeight, h)));
    setZValue(ZValue);
    update();
}
