#include "diagram/groupitem.h"

#include "app/thememanager.h"
#include "diagram/itemdrawing.h"
#include "diagram/resizegeometry.h"
#include "diagram/singlelinetextitem.h"
#include "diagram/textitem.h"
#include "model/itemid.h"

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleOptionGraphicsItem>
#include <QTransform>

#include <algorithm>

namespace {

const QString PlaceholderTitle = QStringLiteral("Group");

constexpr qreal HandleMargin = 6;
constexpr qreal CornerRadius = 2;
constexpr int FillAlpha = 90;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

QColor themeFill(const ThemeColors& colors)
{
    QColor fill = colors[ThemeSlot::EntityFill];
    fill.setAlpha(FillAlpha);
    return fill;
}

// The colour to write: the stored one, or the built-in default of its theme.
QString colorText(const QColor& stored, const QColor& builtIn)
{
    return (stored.isValid() ? stored : builtIn).name(QColor::HexArgb);
}

} // namespace

// ------------------------------------------------------------ construction

GroupItem::GroupItem(const QString& title, QSizeF size, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_id(generateItemId())
    , m_title(title)
    , m_width(size.width())
    , m_height(size.height())
{
    m_titleFont = QFont(QStringLiteral("JetBrains Mono"));
    m_titleFont.setPointSize(10);
    m_titleFont.setWeight(QFont::Bold);

    const ThemeColors light = ThemeManager::lightColors();
    const ThemeColors dark = ThemeManager::darkColors();
    m_fillLight = themeFill(light);
    m_fillDark = themeFill(dark);
    m_borderLight = light[ThemeSlot::Border];
    m_borderDark = dark[ThemeSlot::Border];
    m_textColorLight = light[ThemeSlot::Text];
    m_textColorDark = dark[ThemeSlot::Text];

    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
    setZValue(ZValue);
    connect(&ThemeManager::instance(), &ThemeManager::themeChanged, this, &GroupItem::onThemeChanged);
}

GroupItem::~GroupItem()
{
    stopEditing();
}

// ---------------------------------------------------------------- geometry

QRectF GroupItem::boundingRect() const
{
    return rect().adjusted(-HandleMargin, -HandleMargin, HandleMargin, HandleMargin);
}

QPainterPath GroupItem::shape() const
{
    // A selected frame is grabbed at its handles too, which stick out of it.
    QPainterPath path;
    path.addRoundedRect(isSelected() ? boundingRect() : rect(), CornerRadius, CornerRadius);
    return path;
}

void GroupItem::setRect(QRectF rect)
{
    prepareGeometryChange();
    setPos(rect.topLeft());
    m_width = std::max(MinimumWidth, rect.width());
    m_height = std::max(MinimumHeight, rect.height());
    update();
}

QRectF GroupItem::titleRect() const
{
    const QFontMetricsF metrics(m_titleFont);
    const QString shown = m_title.isEmpty() ? PlaceholderTitle : m_title;
    return QRectF(8, 4, std::max(metrics.horizontalAdvance(shown) + 8, 40.0), std::max(metrics.height() + 2, 16.0));
}

QVariant GroupItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedChange)
        prepareGeometryChange(); // the shape follows the selection
    else if (change == ItemSceneHasChanged)
        setZValue(ZValue);
    return QGraphicsObject::itemChange(change, value);
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
    if (m_editor)
        m_editor->setDefaultTextColor(textColor());
    update();
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
    const ThemeManager& theme = ThemeManager::instance();
    const QColor& stored = theme.isDark() ? m_fillDark : m_fillLight;
    return stored.isValid() ? stored : themeFill(theme.colors());
}

QColor GroupItem::borderColor() const
{
    const ThemeManager& theme = ThemeManager::instance();
    const QColor& stored = theme.isDark() ? m_borderDark : m_borderLight;
    return stored.isValid() ? stored : theme.color(ThemeSlot::Border);
}

QColor GroupItem::textColor() const
{
    const ThemeManager& theme = ThemeManager::instance();
    const QColor& stored = theme.isDark() ? m_textColorDark : m_textColorLight;
    return stored.isValid() ? stored : theme.color(ThemeSlot::Text);
}

void GroupItem::onThemeChanged()
{
    if (m_editor)
        m_editor->setDefaultTextColor(textColor());
    update();
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

    if (!m_editor) {
        const QRectF titleArea = titleRect();
        if (widget) {
            painter->setFont(m_titleFont);
            painter->setPen(textColor());
            painter->drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, m_title);
        } else if (!m_title.isEmpty() && titleArea.width() > 0 && titleArea.height() > 0) {
            paintTitleAsPath(painter, titleArea);
        }
    }

    if (selected)
        drawSelectionFrame(painter, rect(), accent);
    painter->restore();
}

void GroupItem::paintTitleAsPath(QPainter* painter, const QRectF& titleArea) const
{
    bool syntheticBold = false;
    bool syntheticItalic = false;
    const QFont resolved = resolveStyledFont(m_titleFont, &syntheticBold, &syntheticItalic);
    const qreal ascent = QFontMetricsF(resolved).ascent();
    QPainterPath path;
    path.addText(QPointF(0, ascent), resolved, m_title);
    if (syntheticItalic) {
        QTransform shear;
        shear.translate(0, ascent);
        shear.shear(-0.3, 0);
        shear.translate(0, -ascent);
        path = shear.map(path);
    }
    const QRectF bounds = path.boundingRect();
    path.translate(titleArea.left() - bounds.left(), titleArea.center().y() - bounds.center().y());
    drawOutlinedText(painter, path, resolved, textColor(), syntheticBold);
}

// ---------------------------------------------------------------- resizing

void GroupItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isSelected()) {
        const int handle = resizeHandleAt(rect(), event->pos());
        if (handle != 0) {
            m_activeHandle = handle;
            m_resizeStartRect = QRectF(pos(), QSizeF(m_width, m_height));
            m_resizePressPos = event->scenePos();
            setFlag(ItemIsMovable, false);
            event->accept();
            return;
        }
    }
    QGraphicsObject::mousePressEvent(event);
}

void GroupItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_activeHandle == 0) {
        QGraphicsObject::mouseMoveEvent(event);
        return;
    }
    setRect(resizeRectByHandle(m_resizeStartRect, m_activeHandle, event->scenePos() - m_resizePressPos,
                               QSizeF(MinimumWidth, MinimumHeight)));
    event->accept();
}

void GroupItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_activeHandle == 0) {
        QGraphicsObject::mouseReleaseEvent(event);
        return;
    }
    m_activeHandle = 0;
    setFlag(ItemIsMovable, true);
    event->accept();
}

void GroupItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    if (isSelected())
        setCursor(resizeCursorForHandle(resizeHandleAt(rect(), event->pos())));
    else
        unsetCursor();
    QGraphicsObject::hoverMoveEvent(event);
}

void GroupItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    unsetCursor();
    QGraphicsObject::hoverLeaveEvent(event);
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

void GroupItem::startEditing()
{
    QGraphicsScene* s = scene();
    if (m_editor || !s)
        return;
    auto* editor = new SingleLineTextItem();
    editor->dragEnabled = false;
    editor->setFlag(ItemIsSelectable, false);
    editor->setZValue(1000);
    editor->setPlainText(m_title);
    editor->setFont(m_titleFont);
    editor->setDefaultTextColor(textColor());
    editor->setPos(mapToScene(titleRect().topLeft()));
    s->addItem(editor);
    m_editor = editor;
    connect(editor, &SingleLineTextItem::editingFinished, this, [this] { finishEditing(); });
    editor->startEditing();
    update();
}

void GroupItem::finishEditing()
{
    if (!m_editor)
        return;
    QString title = m_editor->toPlainText();
    if (title.trimmed().isEmpty())
        title = PlaceholderTitle;
    stopEditing();
    setTitle(title);
}

void GroupItem::stopEditing()
{
    SingleLineTextItem* editor = m_editor;
    if (!editor)
        return;
    m_editor = nullptr;
    disconnect(editor, nullptr, this, nullptr);
    editor->hide();
    // Out of the scene at once, so that nobody walking the scene meets an
    // orphaned editor before it is deleted.
    if (QGraphicsScene* s = editor->scene())
        s->removeItem(editor);
    editor->deleteLater();
}

// ------------------------------------------------------------ context menu

void GroupItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    setSelected(true);
    QMenu menu;
    QAction* styleAction = menu.addAction(QStringLiteral("Colors and fonts…"));
    QPointer<GroupItem> self(this);
    QAction* chosen = menu.exec(event->screenPos());
    if (self && chosen == styleAction) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            emit erScene->groupStyleDialogRequested();
    }
    event->accept();
}

// -------------------------------------------------------------------- JSON

QJsonObject GroupItem::toJson() const
{
    const GroupItemStyle builtIn = defaultGroupItemStyle();
    QJsonObject obj;
    obj.insert(key("kind"), QStringLiteral("group-item"));
    obj.insert(key("id"), m_id);
    obj.insert(key("x"), pos().x());
    obj.insert(key("y"), pos().y());
    obj.insert(key("width"), m_width);
    obj.insert(key("height"), m_height);
    obj.insert(key("title"), m_title);
    obj.insert(key("fillLight"), colorText(m_fillLight, builtIn.lightFill));
    obj.insert(key("borderLight"), colorText(m_borderLight, builtIn.lightBorder));
    obj.insert(key("textColorLight"), colorText(m_textColorLight, builtIn.lightTitle));
    obj.insert(key("fillDark"), colorText(m_fillDark, builtIn.darkFill));
    obj.insert(key("borderDark"), colorText(m_borderDark, builtIn.darkBorder));
    obj.insert(key("textColorDark"), colorText(m_textColorDark, builtIn.darkTitle));
    return obj;
}

void GroupItem::fromJson(const QJsonObject& obj)
{
    if (obj.contains(key("id")))
        m_id = obj.value(key("id")).toString(m_id);
    setPos(obj.value(key("x")).toDouble(pos().x()), obj.value(key("y")).toDouble(pos().y()));
    const double w = obj.value(key("width")).toDouble(m_width);
    const double h = obj.value(key("height")).toDouble(m_height);
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

    prepareGeometryChange();
    m_width = std::max(MinimumWidth, w);
    m_height = std::max(MinimumHeight, h);
    setZValue(ZValue);
    update();
}
