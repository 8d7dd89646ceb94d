#include "diagram/textitem.h"

#include "app/thememanager.h"
#include "diagram/itemdrawing.h"
#include "diagram/resizegeometry.h"
#include "diagram/singlelinetextitem.h"
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

const QString PlaceholderText = QStringLiteral("Text");

// Room around the box for the resize handles (8 x 8, centred on the edge).
constexpr qreal HandleMargin = 6;

// The smallest box a resize may leave, on top of the text's own needs.
constexpr qreal MinimumResizeWidth = 16;
constexpr qreal MinimumResizeHeight = 12;

// Point sizes beyond this come only from damaged files; a glyph cache for
// such a font could take the application down, so it is capped.
constexpr double MaximumPointSize = 1000;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

} // namespace

QColor colorFromJson(const QJsonValue& value, const QColor& fallback)
{
    if (!value.isString())
        return fallback;
    const QColor color = QColor::fromString(value.toString());
    return color.isValid() ? color : fallback;
}

// ------------------------------------------------------------ construction

TextItem::TextItem(const QString& text, QGraphicsItem* parent)
    : QGraphicsObject(parent)
    , m_id(generateItemId())
    , m_text(text)
{
    const TextItemStyle style = defaultTextItemStyle();
    m_font = style.font;
    m_lightColor = ThemeManager::lightColors()[ThemeSlot::Text];
    m_darkColor = ThemeManager::darkColors()[ThemeSlot::Text];
    const QSizeF box = textBoxSize();
    m_width = box.width();
    m_height = box.height();

    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsScenePositionChanges);
    setAcceptHoverEvents(true);
    setZValue(ZValue);
    connect(&ThemeManager::instance(), &ThemeManager::themeChanged, this, &TextItem::onThemeChanged);
}

TextItem::~TextItem()
{
    stopEditing();
}

// ---------------------------------------------------------------- geometry

QRectF TextItem::boundingRect() const
{
    return rect().adjusted(-HandleMargin, -HandleMargin, HandleMargin, HandleMargin);
}

QPainterPath TextItem::shape() const
{
    // A selected item is grabbed at its handles too, which stick out of the box.
    QPainterPath path;
    path.addRect(isSelected() ? boundingRect() : rect());
    return path;
}

QSizeF TextItem::textBoxSize() const
{
    const QFontMetricsF metrics(m_font);
    const QString shown = m_text.isEmpty() ? PlaceholderText : m_text;
    return QSizeF(std::max(metrics.horizontalAdvance(shown) + 8, 24.0), std::max(metrics.height() + 6, 16.0));
}

void TextItem::growToFitText()
{
    const QSizeF needed = textBoxSize();
    if (needed.width() <= m_width && needed.height() <= m_height)
        return;
    prepareGeometryChange();
    m_width = std::max(m_width, needed.width());
    m_height = std::max(m_height, needed.height());
}

void TextItem::setRect(QRectF rect)
{
    prepareGeometryChange();
    setPos(rect.topLeft());
    m_width = rect.width();
    m_height = rect.height();
    update();
}

QVariant TextItem::itemChange(GraphicsItemChange change, const QVariant& value)
{
    if (change == ItemSelectedChange)
        prepareGeometryChange(); // the shape follows the selection
    else if (change == ItemSceneHasChanged)
        setZValue(ZValue);
    return QGraphicsObject::itemChange(change, value);
}

// ------------------------------------------------------------- appearance

void TextItem::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    growToFitText();
    update();
}

void TextItem::setFont(const QFont& font)
{
    m_font = font;
    growToFitText();
    if (m_editor)
        m_editor->setFont(font);
    update();
}

void TextItem::setColors(const QColor& light, const QColor& dark)
{
    if (light.isValid())
        m_lightColor = light;
    if (dark.isValid())
        m_darkColor = dark;
    if (m_editor)
        m_editor->setDefaultTextColor(effectiveColor());
    update();
}

QColor TextItem::effectiveColor() const
{
    const ThemeManager& theme = ThemeManager::instance();
    const QColor& stored = theme.isDark() ? m_darkColor : m_lightColor;
    return stored.isValid() ? stored : theme.color(ThemeSlot::Text);
}

void TextItem::onThemeChanged()
{
    if (m_editor)
        m_editor->setDefaultTextColor(effectiveColor());
    update();
}

// ---------------------------------------------------------------- painting

void TextItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    const QColor accent = ThemeManager::instance().color(ThemeSlot::Selection);
    // Without a widget the item is being rendered for export: no decoration.
    const bool selected = widget && option && (option->state & QStyle::State_Selected);
    const QRectF box = rect();

    painter->save();
    if (selected) {
        painter->setPen(QPen(accent, 1.2, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(box);
    }

    if (!m_editor) {
        const QRectF textRect(4, 2, m_width - 8, m_height - 4);
        // Text never spills out of its box. The clip stays for the handles,
        // which therefore show only their inner halves.
        painter->setClipRect(box, Qt::IntersectClip);
        if (widget) {
            painter->setFont(m_font);
            painter->setPen(effectiveColor());
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_text);
        } else if (!m_text.isEmpty() && textRect.width() > 0 && textRect.height() > 0) {
            paintTextAsPath(painter, textRect);
        }
    }

    if (selected)
        drawSelectionFrame(painter, box, accent);
    painter->restore();
}

void TextItem::paintTextAsPath(QPainter* painter, const QRectF& textRect) const
{
    // Outlines keep the exported text independent of the fonts installed
    // where the PDF or SVG is opened.
    bool syntheticBold = false;
    bool syntheticItalic = false;
    const QFont resolved = resolveStyledFont(m_font, &syntheticBold, &syntheticItalic);
    const qreal ascent = QFontMetricsF(resolved).ascent();
    QPainterPath path;
    path.addText(QPointF(0, ascent), resolved, m_text);
    if (syntheticItalic) {
        QTransform shear;
        shear.translate(0, ascent);
        shear.shear(-0.3, 0);
        shear.translate(0, -ascent);
        path = shear.map(path);
    }
    const QRectF bounds = path.boundingRect();
    path.translate(textRect.left() - bounds.left(), textRect.center().y() - bounds.center().y());
    drawOutlinedText(painter, path, resolved, effectiveColor(), syntheticBold);
}

// ---------------------------------------------------------------- resizing

void TextItem::mousePressEvent(QGraphicsSceneMouseEvent* event)
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

void TextItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_activeHandle == 0) {
        QGraphicsObject::mouseMoveEvent(event);
        return;
    }
    const QSizeF box = textBoxSize();
    const QSizeF minimum(std::max(box.width(), MinimumResizeWidth), std::max(box.height(), MinimumResizeHeight));
    setRect(resizeRectByHandle(m_resizeStartRect, m_activeHandle, event->scenePos() - m_resizePressPos, minimum));
    event->accept();
}

void TextItem::mouseReleaseEvent(QGraphicsSceneMouseEvent* event)
{
    if (m_activeHandle == 0) {
        QGraphicsObject::mouseReleaseEvent(event);
        return;
    }
    m_activeHandle = 0;
    setFlag(ItemIsMovable, true);
    event->accept();
}

void TextItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    if (isSelected())
        setCursor(resizeCursorForHandle(resizeHandleAt(rect(), event->pos())));
    else
        unsetCursor();
    QGraphicsObject::hoverMoveEvent(event);
}

void TextItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    unsetCursor();
    QGraphicsObject::hoverLeaveEvent(event);
}

// ----------------------------------------------------------------- editing

void TextItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    startEditing();
    event->accept();
}

void TextItem::startEditing()
{
    if (m_editor || !scene())
        return;
    auto* editor = new SingleLineTextItem(this);
    editor->dragEnabled = false;
    editor->setFlag(ItemIsSelectable, false);
    editor->setPlainText(m_text);
    editor->setFont(m_font);
    editor->setDefaultTextColor(effectiveColor());
    editor->setPos(4, 2);
    m_editor = editor;
    connect(editor, &SingleLineTextItem::editingFinished, this, [this] { finishEditing(); });
    editor->startEditing();
    update();
}

void TextItem::finishEditing()
{
    if (!m_editor)
        return;
    QString text = m_editor->toPlainText();
    if (text.trimmed().isEmpty())
        text = PlaceholderText;
    stopEditing();
    setText(text);
    update();
}

void TextItem::stopEditing()
{
    SingleLineTextItem* editor = m_editor;
    if (!editor)
        return;
    m_editor = nullptr;
    disconnect(editor, nullptr, this, nullptr);
    // Hiding drops the keyboard focus; with the connection cut, the editor's
    // own report of that goes nowhere.
    editor->hide();
    editor->setParentItem(nullptr);
    // Out of the scene at once, so that nobody walking the scene meets an
    // orphaned editor before it is deleted.
    if (QGraphicsScene* s = editor->scene())
        s->removeItem(editor);
    editor->deleteLater();
}

// ------------------------------------------------------------ context menu

void TextItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    setSelected(true);
    QMenu menu;
    QAction* styleAction = menu.addAction(QStringLiteral("Colors and fonts…"));
    QPointer<TextItem> self(this);
    QAction* chosen = menu.exec(event->screenPos());
    if (self && chosen == styleAction) {
        if (auto* erScene = qobject_cast<ERScene*>(scene()))
            emit erScene->textStyleDialogRequested();
    }
    event->accept();
}

// -------------------------------------------------------------------- JSON

QJsonObject TextItem::toJson() const
{
    const QColor light = m_lightColor.isValid() ? m_lightColor : ThemeManager::lightColors()[ThemeSlot::Text];
    const QColor dark = m_darkColor.isValid() ? m_darkColor : ThemeManager::darkColors()[ThemeSlot::Text];
    QJsonObject obj;
    obj.insert(key("kind"), QStringLiteral("text-item"));
    obj.insert(key("id"), m_id);
    obj.insert(key("x"), pos().x());
    obj.insert(key("y"), pos().y());
    obj.insert(key("width"), m_width);
    obj.insert(key("height"), m_height);
    obj.insert(key("text"), m_text);
    obj.insert(key("fontFamily"), m_font.family());
    obj.insert(key("fontSize"), m_font.pointSizeF());
    obj.insert(key("bold"), m_font.weight() > QFont::Medium);
    obj.insert(key("italic"), m_font.style() != QFont::StyleNormal);
    obj.insert(key("underline"), m_font.underline());
    obj.insert(key("colorLight"), light.name(QColor::HexArgb));
    obj.insert(key("colorDark"), dark.name(QColor::HexArgb));
    return obj;
}

void TextItem::fromJson(const QJsonObject& obj)
{
    if (obj.contains(key("id")))
        m_id = obj.value(key("id")).toString(m_id);
    setPos(obj.value(key("x")).toDouble(pos().x()), obj.value(key("y")).toDouble(pos().y()));
    m_text = obj.value(key("text")).toString(m_text);

    const QString family = obj.value(key("fontFamily")).toString(m_font.family());
    const double wholeSize = std::min(obj.value(key("fontSize")).toDouble(m_font.pointSizeF()), MaximumPointSize);
    // A size of 0 or less gives the font's own default size.
    QFont font(family, wholeSize > 0 ? qRound(wholeSize) : 0);
    font.setWeight(obj.value(key("bold")).toBool(false) ? QFont::Bold : QFont::Normal);
    font.setStyle(obj.value(key("italic")).toBool(false) ? QFont::StyleItalic : QFont::StyleNormal);
    font.setUnderline(obj.value(key("underline")).toBool(false));
    const double exactSize = obj.value(key("fontSize")).toDouble(0);
    if (exactSize > 0)
        font.setPointSizeF(std::min(exactSize, MaximumPointSize));
    m_font = font;

    if (obj.contains(key("colorLight")) || obj.contains(key("colorDark"))) {
        m_lightColor = colorFromJson(obj.value(key("colorLight")), m_lightColor);
        m_darkColor = colorFromJson(obj.value(key("colorDark")), m_darkColor);
    } else {
        // Older files kept one colour for both themes.
        const QColor legacy = colorFromJson(obj.value(key("color")), QColor());
        if (legacy.isValid()) {
            m_lightColor = legacy;
            m_darkColor = legacy;
        }
    }

    prepareGeometryChange();
    const double w = obj.value(key("width")).toDouble(0);
    const double h = obj.value(key("height")).toDouble(0);
    if (w > 0 && h > 0) {
        m_width = w;
        m_height = h;
    } else {
        const QSizeF box = textBoxSize();
        m_width = box.width();
        m_height = box.height();
    }
    setZValue(ZValue);
    update();
}
