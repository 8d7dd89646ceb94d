#include "diagram/singlelinetextitem.h"

#include "app/thememanager.h"
#include "details/dialects.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/itemdrawing.h"

#include <QAbstractItemView>
#include <QChildEvent>
#include <QApplication>
#include <QCompleter>
#include <QCursor>
#include <QFontMetricsF>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStringListModel>
#include <QStyleOptionGraphicsItem>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {

// Characters that would break the one-line rule: tabs and every kind of line
// or paragraph break a paste or a drop can bring in.
bool isForbiddenCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\t' || u == u'\n' || u == u'\r' || u == 0x0B || u == 0x0C || u == 0x85
        || u == QChar::LineSeparator || u == QChar::ParagraphSeparator;
}

// Underlines text set from x in the font of metrics, up to its last
// character that is not white space; nothing for a blank text.
void drawUnderline(QPainter* painter, const QFontMetricsF& metrics, const QString& text, qreal x,
                   const QColor& colour)
{
    const QString shown = EntityItem::rightTrimmed(shownLine(text));
    if (shown.isEmpty())
        return;
    const qreal y = metrics.ascent() + metrics.underlinePos();
    const qreal w = metrics.horizontalAdvance(shown);
    painter->save();
    painter->setPen(QPen(colour, std::max(metrics.lineWidth(), 1.0)));
    painter->drawLine(QPointF(x, y), QPointF(x + w, y));
    painter->restore();
}

// One line of label text laid out as the label's document lays it out: no
// wrapping, the alignment taken within the line's natural width (which
// takes in a glyph that reaches past its advance, as an italic one does),
// at the top of the label.
struct LaidOutLine
{
    QTextLayout layout;
    qreal naturalWidth = 0;
    qreal height = 0;   // the document's height for one line of the font
};

// A font's line height, ascent and descent.
struct FontExtents
{
    qreal height = 0;
    qreal ascent = 0;
    qreal descent = 0;
};

// A text's advance and the natural width of its line, as the document
// would lay it out.

struct TextMeasure
{
    qreal advance = 0;
    qreal naturalWidth = 0;
};

// What a label shows in an export: the glyphs of its text as a path in the
// face that exists (the rest imitated), and that path's right edge.
struct ExportGlyphs
{
    QFont resolved;
    bool syntheticBold = false;
    QPainterPath path;
    qreal right = 0;
};

// Measures, laid-out lines and export glyphs of label texts, by font and
// text. The rows of a large diagram repeat the same few names and types
// over and over, and every one of these shapes the text anew with every
// feature of the font. They depend on nothing else but the installed fonts,
// whose change empties the cache. Used from the GUI thread; another thread
// gets its answers uncached. A text longer than a line shows is measured and
// drawn as shown (see shownLine).
class LabelTextCache
{
public:
    // The advance of the text (as QFontMetricsF measures it) and the
    // natural width of its line, from one shaping of the text.
    TextMeasure measure(const QFont& font, const QString& wholeText)
    {
        const QString text = shownLine(wholeText);
        if (!usable())
            return measureText(font, text);
        TextKey key{font, text};
        const auto found = m_measures.constFind(key);
        if (found != m_measures.cend())
            return found.value();
        bound(m_measures);
        const TextMeasure made = measureText(font, text);
        m_measures.insert(std::move(key), made);
        return made;
    }

    std::shared_ptr<const LaidOutLine> line(const QFont& font, const QString& wholeText, Qt::Alignment alignment)
    {
        const QString text = shownLine(wholeText);
        if (!usable())
            return layOut(font, text, alignment);
        LineKey key{{font, text}, int(alignment)};
        const auto found = m_lines.constFind(key);
        if (found != m_lines.cend())
            return found.value();
        bound(m_lines);
        auto laidOut = layOut(font, text, alignment);
        m_lines.insert(std::move(key), laidOut);
        return laidOut;
    }

    std::shared_ptr<const ExportGlyphs> glyphs(const QFont& font, const QString& wholeText)
    {
        const QString text = shownLine(wholeText);
        if (!usable())
            return makeGlyphs(font, text);
        TextKey key{font, text};
        const auto found = m_glyphs.constFind(key);
        if (found != m_glyphs.cend())
            return found.value();
        bound(m_glyphs);
        auto made = makeGlyphs(font, text);
        m_glyphs.insert(std::move(key), made);
        return made;
    }

    // Whether a bold font is drawn with an imitated bold: its family has no
    // bold face. Screens draw such a font regular (a fixed-width face is
    // not emboldened by the font engine), so the label draws its glyphs as
    // the exports do.
    bool imitatesBold(const QFont& font)
    {
        if (font.weight() <= 500)
            return false;
        bool syntheticBold = false;
        bool syntheticItalic = false;
        if (!usable()) {
            resolveStyledFont(font, &syntheticBold, &syntheticItalic);
            return syntheticBold;
        }
        auto found = m_resolved.constFind(font);
        if (found == m_resolved.cend()) {
            const QFont resolved = resolveStyledFont(font, &syntheticBold, &syntheticItalic);
            found = m_resolved.insert(font, {resolved, {syntheticBold, syntheticItalic}});
        }
        return found->second.first;
    }

    // The height, ascent and descent of a font, as QFontMetricsF gives
    // them. Every label of a box asks at its first measure, and a font
    // copied into a label finds its face in the font database anew.
    FontExtents extents(const QFont& font)
    {
        if (!usable())
            return fontExtents(font);
        const auto found = m_extents.constFind(font);
        if (found != m_extents.cend())
            return found.value();
        bound(m_extents);
        const FontExtents made = fontExtents(font);
        m_extents.insert(font, made);
        return made;
    }

private:
    using TextKey = std::pair<QFont, QString>;
    using LineKey = std::pair<TextKey, int>;
    // A bound, for a session that sees a great many distinct texts; room
    // for every text of the largest entity a file may hold (100,000 rows
    // of two cells), so that reading one does not empty the cache midway
    // and measure its repeated texts again.
    static constexpr qsizetype MaxEntries = 262144;

    template <typename Hash>
    static void bound(Hash& hash)
    {
        if (hash.size() >= MaxEntries)
            hash.clear();
    }

    bool usable()
    {
        if (!qApp || QThread::currentThread() != qApp->thread())
            return false;
        if (m_app != qApp) {
            m_app = qApp;
            clear();
            QObject::connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, qGuiApp, [this] { clear(); });
            // The fonts held here go with the application, not at exit.
            QObject::connect(qGuiApp, &QObject::destroyed, [this] { clear(); });
        }
        return true;
    }

    void clear()
    {
        m_measures.clear();
        m_lines.clear();
        m_glyphs.clear();
        m_resolved.clear();
        m_extents.clear();
    }

    static FontExtents fontExtents(const QFont& font)
    {
        const QFontMetricsF metrics(font);
        return {metrics.height(), metrics.ascent(), metrics.descent()};
    }

    static TextMeasure measureText(const QFont& font, const QString& text)
    {
        TextMeasure measured;
        if (text.isEmpty())
            return measured;
        // The line's advance is the metrics' own sum of the shaped glyphs;
        // the metrics alone stop at the first string separator, though.
        QTextLayout layout(text, font);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid()) {
            line.setNumColumns(std::numeric_limits<int>::max());
            measured.naturalWidth = line.naturalTextWidth();
            measured.advance = line.horizontalAdvance();
        }
        layout.endLayout();
        if (text.contains(QChar(0x9c)))
            measured.advance = QFontMetricsF(font).horizontalAdvance(text);
        return measured;
    }

    static std::shared_ptr<LaidOutLine> layOut(const QFont& font, const QString& text, Qt::Alignment alignment)
    {
        auto laidOut = std::make_shared<LaidOutLine>();
        const QFontMetricsF metrics(font);
        laidOut->height = std::ceil(metrics.ascent() + metrics.descent());
        if (text.isEmpty())
            return laidOut;
        QTextLayout& layout = laidOut->layout;
        layout.setText(text);
        layout.setFont(font);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setAlignment(alignment);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid()) {
            // Laid out unbounded first for the natural width (as ending the
            // layout would), then within it, so that the alignment takes
            // the place the document gives the text.
            line.setNumColumns(std::numeric_limits<int>::max());
            laidOut->naturalWidth = line.naturalTextWidth();
            line.setLineWidth(laidOut->naturalWidth);
            line.setPosition(QPointF(0, 0));
        }
        layout.endLayout();
        return laidOut;
    }

    std::shared_ptr<ExportGlyphs> makeGlyphs(const QFont& font, const QString& text)
    {
        auto made = std::make_shared<ExportGlyphs>();
        // Resolving asks the font database for the family's styles.
        const auto resolved = usable() ? m_resolved.constFind(font) : m_resolved.cend();
        if (resolved != m_resolved.cend()) {
            made->resolved = resolved->first;
            made->syntheticBold = resolved->second.first;
        }
        bool syntheticItalic = false;
        if (resolved == m_resolved.cend()) {
            made->resolved = resolveStyledFont(font, &made->syntheticBold, &syntheticItalic);
            if (usable())
                m_resolved.insert(font, {made->resolved, {made->syntheticBold, syntheticItalic}});
        } else {
            syntheticItalic = resolved->second.second;
        }
        made->path = glyphPath(text, made->resolved, syntheticItalic);
        made->right = made->path.boundingRect().right();
        return made;
    }

    QHash<TextKey, TextMeasure> m_measures;
    QHash<LineKey, std::shared_ptr<const LaidOutLine>> m_lines;
    QHash<TextKey, std::shared_ptr<const ExportGlyphs>> m_glyphs;
    // The resolved face of a font and whether bold and italic are imitated.
    QHash<QFont, std::pair<QFont, std::pair<bool, bool>>> m_resolved;
    QHash<QFont, FontExtents> m_extents;
    QPointer<QCoreApplication> m_app;
};

LabelTextCache& labelTextCache()
{
    static LabelTextCache cache;
    return cache;
}

} // namespace

// ------------------------------------------------------------ construction

SingleLineTextItem::SingleLineTextItem(QGraphicsItem* parent)
    : QGraphicsTextItem(parent)
{
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFlag(QGraphicsItem::ItemIsFocusable, true);
    m_alignment = Qt::AlignLeft;
}

SingleLineTextItem::~SingleLineTextItem()
{
    m_editing = false;
    completionEnabled = false;
    hidePopup();
    detachPopup();
    setTextInteractionFlags(Qt::NoTextInteraction);
    disconnect(m_contentsConnection);
}

void SingleLineTextItem::configureSingleLine()
{
    QTextDocument* doc = document();
    doc->setDocumentMargin(0);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(m_alignment);
    doc->setDefaultTextOption(option);
    // Each of these lays the document out again; the width is usually
    // natural already.
    if (QGraphicsTextItem::textWidth() != -1)
        setTextWidth(-1);
}

void SingleLineTextItem::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    if (m_hasDocument || m_documentMadeElsewhere) {
        QTextDocument* doc = document();
        QTextOption option = doc->defaultTextOption();
        option.setAlignment(alignment);
        doc->setDefaultTextOption(option);
    }
    invalidateSize();
    update();
}

void SingleLineTextItem::setUnderlined(bool on)
{
    m_underlined = on;
    applyUnderline();
    update();
}

qreal SingleLineTextItem::textWidth() const
{
    // Measuring shapes the whole text again, and a box asks for the widths
    // of its labels several times per layout (and the bounding rectangle at
    // every geometry change): the last measure holds while neither the text
    // nor the font has changed. Both are compared rather than tracked, since
    // the font can be set through the base class behind this item's back.
    const QString text = toPlainText();
    const QFont currentFont = font();
    if (!m_widthValid || text != m_widthText || currentFont != m_widthFont) {
        const TextMeasure measured = labelTextCache().measure(currentFont, text);
        m_width = measured.advance;
        m_naturalWidth = measured.naturalWidth;
        m_widthText = text;
        m_widthFont = currentFont;
        m_widthValid = true;
    }
    return m_width;
}

void SingleLineTextItem::setInitialText(const QString& text)
{
    if (!m_hasDocument && !m_documentMadeElsewhere) {
        setPlainText(text);
        return;
    }
    QTextDocument* doc = document();
    if (text.isEmpty() || !doc->isEmpty() || m_editing || hasFocus()
        || std::any_of(text.cbegin(), text.cend(), isForbiddenCharacter)) {
        setPlainText(text);
        return;
    }
    // What setPlainText leaves behind: no undo step (not even those of the
    // document settings), an unmodified document. Its caret at the start
    // would be placed at the cost of shaping the text once more; nothing
    // looks at the caret before the label has the focus. Inside an edit
    // block the inserting cursor does not measure where it ends either.
    const bool undoRedo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undoRedo);
    doc->setModified(false);
    m_caretPending = true;
}

void SingleLineTextItem::settlePendingCaret()
{
    if (!m_caretPending)
        return;
    m_caretPending = false;
    const QTextCursor caret = textCursor();
    if (caret.position() != 0 || caret.anchor() != 0)
        setTextCursor(QTextCursor(document()));
}

void SingleLineTextItem::startEditing()
{
    settlePendingCaret();
    configureSingleLine();
    setTextInteractionFlags(Qt::TextEditorInteraction);
    setFocus(Qt::MouseFocusReason);
    m_editing = true;
    QTextCursor cursor = textCursor();
    cursor.select(QTextCursor::Document);
    setTextCursor(cursor);
    refreshCompletions();
    update();
}

// ---------------------------------------------------------------- geometry

void SingleLineTextItem::invalidateSize()
{
    prepareGeometryChange();
    m_cachedRectValid = false;
}

QRectF SingleLineTextItem::boundingRect() const
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    if (!m_cachedRectValid) {
        if (m_hasDocument) {
            const FontExtents metrics = labelTextCache().extents(font());
            const QRectF own(-2, -2, textWidth() + 4, metrics.height + 4);
            m_cachedRect = own.united(QGraphicsTextItem::boundingRect().adjusted(-2, -2, 2, 2));
        } else {
            m_cachedRect = boundsOf(m_font, m_text);
        }
        m_cachedRectValid = true;
    }
    return m_cachedRect;
}

QRectF SingleLineTextItem::documentRect() const
{
    // Measured with the width: the line's natural width does not depend on
    // the alignment.
    textWidth();
    const FontExtents metrics = labelTextCache().extents(m_widthFont);
    return QRectF(0, 0, m_naturalWidth, std::ceil(metrics.ascent + metrics.descent));
}

QString SingleLineTextItem::keptText(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), isForbiddenCharacter))
        return text;
    QString kept = text;
    kept.removeIf(isForbiddenCharacter);
    return kept;
}

qreal SingleLineTextItem::advanceOf(const QFont& font, const QString& text)
{
    return labelTextCache().measure(font, text).advance;
}

qreal SingleLineTextItem::shownAdvanceOf(const QFont& font, const QString& text, const QString& placeholder)
{
    if (!text.isEmpty() || placeholder.isEmpty())
        return advanceOf(font, text);
    QFont upright = font;
    upright.setItalic(false);
    return advanceOf(upright, placeholder);
}

qreal SingleLineTextItem::shownWidth() const
{
    if (!placeholderText.isEmpty() && toPlainText().isEmpty())
        return shownAdvanceOf(font(), QString(), placeholderText);
    return textWidth();
}

QRectF SingleLineTextItem::boundsOf(const QFont& font, const QString& text)
{
    const TextMeasure measured = labelTextCache().measure(font, text);
    const FontExtents metrics = labelTextCache().extents(font);
    const QRectF own(-2, -2, measured.advance + 4, metrics.height + 4);
    const QRectF doc(0, 0, measured.naturalWidth, std::ceil(metrics.ascent + metrics.descent));
    return own.united(doc.adjusted(-2, -2, 2, 2));
}

QPainterPath SingleLineTextItem::shape() const
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    QPainterPath path;
    path.addRect(m_hasDocument ? QGraphicsTextItem::boundingRect() : documentRect());
    return path;
}

bool SingleLineTextItem::contains(const QPointF& point) const
{
    return boundingRect().contains(point);
}

// ---------------------------------------------------------------- document

void SingleLineTextItem::ensureDocument() const
{
    auto* self = const_cast<SingleLineTextItem*>(this);
    if (m_documentMadeElsewhere)
        self->adoptDocument();
    if (!m_hasDocument)
        self->buildDocument();
}

void SingleLineTextItem::buildDocument()
{
    m_buildingDocument = true;
    QTextDocument* doc = QGraphicsTextItem::document();
    m_hasDocument = true;
    // As setInitialText fills a label: no undo step (not even those of the
    // settings), an unmodified document, the caret put at the start when
    // the label first gets the focus.
    const bool undoRedo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    doc->setDocumentMargin(0);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(m_alignment);
    doc->setDefaultTextOption(option);
    QGraphicsTextItem::setFont(m_font);
    if (m_color.isValid())
        QGraphicsTextItem::setDefaultTextColor(m_color);
    QGraphicsTextItem::setTextInteractionFlags(m_flags);
    if (!m_text.isEmpty()) {
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        cursor.insertText(m_text);
        cursor.endEditBlock();
        m_caretPending = true;
        m_text.clear();
    }
    doc->setUndoRedoEnabled(undoRedo);
    doc->setModified(false);
    // Connected last: the text put in above is the label's already.
    m_contentsConnection = connect(doc, &QTextDocument::contentsChanged, this,
                                   &SingleLineTextItem::onContentsChanged, Qt::DirectConnection);
    m_buildingDocument = false;
}

void SingleLineTextItem::adoptDocument()
{
    m_documentMadeElsewhere = false;
    bool made = false;
    for (const QObject* child : children())
        made = made || child->inherits("QWidgetTextControl");
    if (!made || m_hasDocument)
        return;
    // A base class setter made the document. What it set stays; the rest
    // comes from the label, as a new document would have had it.
    m_buildingDocument = true;
    QTextDocument* doc = QGraphicsTextItem::document();
    m_hasDocument = true;
    const QTextDocument fresh;
    const bool textSet = !doc->isEmpty();
    const bool fontSet = doc->defaultFont() != fresh.defaultFont();
    const bool colourSet = QGraphicsTextItem::defaultTextColor() != QGuiApplication::palette().color(QPalette::Text);
    const bool flagsSet = QGraphicsTextItem::textInteractionFlags() != Qt::NoTextInteraction;
    doc->setDocumentMargin(0);
    QTextOption option = doc->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(m_alignment);
    doc->setDefaultTextOption(option);
    if (!fontSet)
        QGraphicsTextItem::setFont(m_font);
    if (!colourSet && m_color.isValid())
        QGraphicsTextItem::setDefaultTextColor(m_color);
    if (!flagsSet)
        QGraphicsTextItem::setTextInteractionFlags(m_flags);
    if (!textSet && !m_text.isEmpty())
        QGraphicsTextItem::setPlainText(m_text);
    m_text.clear();
    m_contentsConnection = connect(doc, &QTextDocument::contentsChanged, this,
                                   &SingleLineTextItem::onContentsChanged, Qt::DirectConnection);
    m_buildingDocument = false;
    if (textSet)
        onContentsChanged();
    else
        invalidateSize();
}

void SingleLineTextItem::childEvent(QChildEvent* event)
{
    // The text control is the label's child; one that comes while the label
    // is not building it was made by a setter of the base class.
    if (event->added() && !m_hasDocument && !m_buildingDocument)
        m_documentMadeElsewhere = true;
    QGraphicsTextItem::childEvent(event);
}

QString SingleLineTextItem::toPlainText() const
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    return m_hasDocument ? QGraphicsTextItem::toPlainText() : m_text;
}

void SingleLineTextItem::setPlainText(const QString& text)
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    if (m_hasDocument) {
        QGraphicsTextItem::setPlainText(text);
        return;
    }
    // What the document would keep of it.
    QString kept = text;
    kept.removeIf(isForbiddenCharacter);
    if (kept == m_text)
        return;
    m_text = kept;
    invalidateSize();
    update();
}

QFont SingleLineTextItem::font() const
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    return m_hasDocument ? QGraphicsTextItem::font() : m_font;
}

void SingleLineTextItem::setFont(const QFont& font)
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    if (m_hasDocument) {
        QGraphicsTextItem::setFont(font);
    } else {
        // The underline is the label's own (see applyUnderline).
        QFont kept = font;
        kept.setUnderline(false);
        if (kept == m_font)
            return;
        m_font = kept;
    }
    invalidateSize();
    update();
}

QColor SingleLineTextItem::defaultTextColor() const
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    if (m_hasDocument)
        return QGraphicsTextItem::defaultTextColor();
    return m_color.isValid() ? m_color : QGuiApplication::palette().color(QPalette::Text);
}

void SingleLineTextItem::setDefaultTextColor(const QColor& color)
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    if (m_hasDocument) {
        QGraphicsTextItem::setDefaultTextColor(color);
        return;
    }
    m_color = color;
    update();
}

Qt::TextInteractionFlags SingleLineTextItem::textInteractionFlags() const
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    return m_hasDocument ? QGraphicsTextItem::textInteractionFlags() : m_flags;
}

void SingleLineTextItem::setTextInteractionFlags(Qt::TextInteractionFlags flags)
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    if (m_hasDocument) {
        QGraphicsTextItem::setTextInteractionFlags(flags);
        return;
    }
    m_flags = flags;
    // The item flags follow as the base class sets them.
    if (flags == Qt::NoTextInteraction)
        setFlags(this->flags() & ~(QGraphicsItem::ItemIsFocusable | QGraphicsItem::ItemAcceptsInputMethod));
    else
        setFlags(this->flags() | QGraphicsItem::ItemIsFocusable | QGraphicsItem::ItemAcceptsInputMethod);
}

void SingleLineTextItem::setTextWidth(qreal width)
{
    // A label without a document has its natural width already.
    if (!m_hasDocument && !m_documentMadeElsewhere && width == -1)
        return;
    ensureDocument();
    QGraphicsTextItem::setTextWidth(width);
}

QTextDocument* SingleLineTextItem::document() const
{
    ensureDocument();
    return QGraphicsTextItem::document();
}

QTextCursor SingleLineTextItem::textCursor() const
{
    ensureDocument();
    return QGraphicsTextItem::textCursor();
}

void SingleLineTextItem::setTextCursor(const QTextCursor& cursor)
{
    ensureDocument();
    QGraphicsTextItem::setTextCursor(cursor);
}

QVariant SingleLineTextItem::inputMethodQuery(Qt::InputMethodQuery query) const
{
    ensureDocument();
    return QGraphicsTextItem::inputMethodQuery(query);
}

// ---------------------------------------------------------------- contents

void SingleLineTextItem::onContentsChanged()
{
    if (m_rewriting)
        return;
    stripTabs();
    applyUnderline();
    invalidateSize();
    update();
    if (m_editing && completionEnabled && !m_insertingCompletion)
        updateCompletionPopup();
}

void SingleLineTextItem::stripTabs()
{
    const QString text = toPlainText();
    if (std::none_of(text.cbegin(), text.cend(), isForbiddenCharacter))
        return;

    const qsizetype oldPosition = textCursor().position();
    QString cleaned;
    cleaned.reserve(text.size());
    qsizetype removedBeforeCursor = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isForbiddenCharacter(text.at(i))) {
            if (i < oldPosition)
                ++removedBeforeCursor;
            continue;
        }
        cleaned.append(text.at(i));
    }

    m_rewriting = true;
    QTextCursor cursor(document());
    cursor.joinPreviousEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(cleaned);
    cursor.endEditBlock();
    // The cursor stays right after what was typed or pasted.
    const qsizetype position = std::clamp<qsizetype>(oldPosition - removedBeforeCursor, 0, cleaned.size());
    cursor.setPosition(static_cast<int>(position));
    setTextCursor(cursor);
    m_rewriting = false;
}

void SingleLineTextItem::applyUnderline()
{
    // The underline is painted by the label itself (so that it stops at the
    // last non-blank character and never enters the undo history); a font
    // that carries the attribute would underline everything, blanks included.
    QFont f = font();
    if (f.underline()) {
        f.setUnderline(false);
        setFont(f);
        invalidateSize();
    }
}

// ---------------------------------------------------------------- painting

void SingleLineTextItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    if (m_documentMadeElsewhere)
        ensureDocument();
    applyUnderline();
    if (highlighted)
        painter->fillRect(boundingRect(), QColor(0x00, 0x78, 0xD7, 100));

    const QRectF exposed = option ? option->exposedRect : QRectF();
    if (!m_hasDocument) {
        paintLook(painter, look(), exposed, widget);
    } else if (!widget && !m_editing) {
        paintGlyphs(painter, look());
        return;
    } else {
        const Look shown = look();
        if (shown.text.isEmpty() && !m_editing && !shown.placeholder.isEmpty()) {
            painter->save();
            painter->setFont(shown.font);
            painter->setPen(Qt::gray);
            painter->drawText(boundingRect(), Qt::AlignLeft | Qt::AlignVCenter, shown.placeholder);
            painter->restore();
        }
        // An imitated bold is drawn as glyphs except while the text is
        // edited.
        if (m_editing || !labelTextCache().imitatesBold(shown.font)) {
            // The row frame below marks the edited cell; the base class's
            // dashed focus rectangle would only add noise.
            QStyleOptionGraphicsItem plain(*option);
            plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
            QGraphicsTextItem::paint(painter, &plain, widget);
        } else {
            paintLine(painter, shown, exposed);
        }
        if (m_underlined)
            drawUnderline(painter, QFontMetricsF(shown.font), shown.text, 0, shown.color);
    }

    if (focusFrame && widget) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        QPen pen(ThemeManager::instance().color(ThemeSlot::Highlight), 1.5);
        pen.setJoinStyle(Qt::RoundJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(boundingRect().adjusted(1, 1, -1, -1), 2, 2);
        painter->restore();
    }
}

SingleLineTextItem::Look SingleLineTextItem::look() const
{
    Look shown;
    shown.text = toPlainText();
    shown.font = font();
    shown.color = defaultTextColor();
    shown.alignment = m_alignment;
    shown.underlined = m_underlined;
    shown.placeholder = placeholderText;
    return shown;
}

void SingleLineTextItem::paintLook(QPainter* painter, const Look& look, const QRectF& exposed, const QWidget* widget)
{
    if (!widget) {
        paintGlyphs(painter, look);
        return;
    }
    if (look.text.isEmpty() && !look.placeholder.isEmpty()) {
        painter->save();
        painter->setFont(look.font);
        painter->setPen(Qt::gray);
        painter->drawText(boundsOf(look.font, look.text), Qt::AlignLeft | Qt::AlignVCenter, look.placeholder);
        painter->restore();
    }
    paintLine(painter, look, exposed);
    if (look.underlined)
        drawUnderline(painter, QFontMetricsF(look.font), look.text, 0, look.color);
}

void SingleLineTextItem::paintLine(QPainter* painter, const Look& look, const QRectF& exposed)
{
    if (look.text.isEmpty())
        return;
    if (labelTextCache().imitatesBold(look.font)) {
        paintGlyphs(painter, look);
        return;
    }
    // As the document draws itself: clipped to the exposed part, in the
    // text colour.
    const auto line = labelTextCache().line(look.font, look.text, look.alignment);
    painter->save();
    if (exposed.isValid())
        painter->setClipRect(exposed, Qt::IntersectClip);
    painter->setPen(look.color);
    line->layout.draw(painter, QPointF(0, 0));
    painter->restore();
}

void SingleLineTextItem::paintGlyphs(QPainter* painter, const Look& look)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    if (!look.text.isEmpty()) {
        // The glyphs of a text in a font are made once for every export.
        const auto glyphs = labelTextCache().glyphs(look.font, look.text);
        QPainterPath path = glyphs->path;
        qreal shift = 0;
        if (look.alignment & Qt::AlignRight) {
            const qreal wanted = advanceOf(look.font, look.text);
            const qreal delta = wanted - glyphs->right;
            if (std::abs(delta) > 1e-12) {
                shift = delta;
                path.translate(shift, 0);
            }
        }
        drawOutlinedText(painter, path, glyphs->resolved, look.color, glyphs->syntheticBold);
        if (look.underlined)
            drawUnderline(painter, QFontMetricsF(glyphs->resolved), look.text, shift, look.color);
    } else if (!look.placeholder.isEmpty()) {
        QFont upright = look.font;
        upright.setItalic(false);
        painter->setFont(upright);
        painter->setPen(Qt::gray);
        painter->drawText(QPointF(0, QFontMetricsF(upright).ascent()), look.placeholder);
    }
    painter->restore();
}
