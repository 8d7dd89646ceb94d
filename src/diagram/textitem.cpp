#include "diagram/textitem.h"

#include "app/thememanager.h"
#include "diagram/itemdrawing.h"
#include "model/jsonfields.h"

#include <QFontMetricsF>
#include <QGraphicsSceneMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionGraphicsItem>

#include <algorithm>

namespace {

const QString PlaceholderText = QStringLiteral("Text");

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
    : AnnotationItem(ZValue, QSizeF(), parent)
    , m_text(text)
{
    const TextItemStyle style = defaultTextItemStyle();
    m_font = style.font;
    m_lightColor = style.lightColor;
    m_darkColor = style.darkColor;
    setSize(textBoxSize());
    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsScenePositionChanges);
}

// ---------------------------------------------------------------- geometry

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
    const QString shown = m_text.isEmpty() ? PlaceholderText : shownLine(m_text);
    return QSizeF(std::max(metrics.horizontalAdvance(shown) + 8, 24.0), std::max(metrics.height() + 6, 16.0));
}

void TextItem::growToFitText()
{
    const QSizeF needed = textBoxSize();
    const QSizeF box = rect().size();
    if (needed.width() <= box.width() && needed.height() <= box.height())
        return;
    setSize(box.expandedTo(needed));
}

QSizeF TextItem::minimumResizeSize() const
{
    return textBoxSize().expandedTo(QSizeF(MinimumResizeWidth, MinimumResizeHeight));
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
    if (SingleLineTextItem* running = editor())
        running->setFont(font);
    update();
}

void TextItem::setColors(const QColor& light, const QColor& dark)
{
    if (light.isValid())
        m_lightColor = light;
    if (dark.isValid())
        m_darkColor = dark;
    refreshEditorColor();
}

QColor TextItem::effectiveColor() const
{
    return ThemeManager::instance().isDark() ? m_darkColor : m_lightColor;
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

    if (!editor()) {
        // Text never spills out of its box. The clip stays for the handles,
        // which therefore show only their inner halves.
        painter->setClipRect(box, Qt::IntersectClip);
        drawBoxText(painter, box.adjusted(4, 2, -4, -2), m_font, m_text, effectiveColor(), widget != nullptr);
    }

    if (selected)
        drawSelectionFrame(painter, box, accent);
    painter->restore();
}

// ----------------------------------------------------------------- editing

void TextItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event)
{
    startEditing();
    event->accept();
}

void TextItem::placeEditor(SingleLineTextItem* editor)
{
    editor->setParentItem(this);
    editor->setPos(4, 2);
}

void TextItem::applyEditedText(const QString& text)
{
    setText(text.trimmed().isEmpty() ? PlaceholderText : text);
}

// ------------------------------------------------------------ context menu

void TextItem::requestStyleDialog()
{
    if (auto* erScene = qobject_cast<ERScene*>(scene()))
        emit erScene->textStyleDialogRequested();
}

// -------------------------------------------------------------------- JSON

QJsonObject TextItem::toJson() const
{
    QJsonObject obj = boxJson(QStringLiteral("text-item"));
    obj.insert(key("text"), m_text);
    obj.insert(key("fontFamily"), m_font.family());
    obj.insert(key("fontSize"), m_font.pointSizeF());
    obj.insert(key("bold"), m_font.weight() > QFont::Medium);
    obj.insert(key("italic"), m_font.style() != QFont::StyleNormal);
    obj.insert(key("underline"), m_font.underline());
    obj.insert(key("colorLight"), m_lightColor.name(QColor::HexArgb));
    obj.insert(key("colorDark"), m_darkColor.name(QColor::HexArgb));
    return obj;
}

void TextItem::fromJson(const QJsonObject& obj)
{
    readIdAndPosition(obj);
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

    const double w = jsonfields::readCoordinate(obj.value(key("width")), 0);
    const double h = jsonfields::readCoordinate(obj.value(key("height")), 0);
    setSize(w > 0 && h > 0 ? QSizeF(w, h) : textBoxSize());
    setZValue(ZValue);
    update();
}
