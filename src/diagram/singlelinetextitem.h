#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsTextItem>
#include <QMetaObject>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

class QAbstractItemView;
class QCompleter;
class QChildEvent;
class QKeyEvent;
class QPainterPath;
class QTextCursor;
class QTextDocument;
class QStringListModel;
class QWidget;

// A one-line label that can be edited in place on the canvas: entity titles
// and attribute cells, and the temporary editor of text items and group
// frames. It never wraps and never holds a tab or a line break, can show a
// grey placeholder while empty, underline its text, offer the data types of
// the scene's dialect while a type cell is edited, and turn a left-button
// drag into a row drag. The end of editing is reported once, together with
// whether Tab or Backtab caused it.
//
// It keeps QGraphicsTextItem's item type, so scene walkers never count it as
// a diagram item.
//
// A large diagram holds tens of thousands of labels, and a text document
// with its text control is costly to build. A label builds them only when
// first needed: when its document or text cursor is asked for, when it is
// edited, and when an event reaches it. Until then it keeps its text, font,
// colour, alignment and interaction flags itself, measures itself from the
// font and paints from a shared cache of laid-out lines (or as glyph paths
// for an export), exactly as the document would. Building the document
// changes none of its geometry. The functions below that hide those of
// QGraphicsTextItem work either way; the base class's own setters must not
// be called before the document exists (hasDocument()): a label that finds
// its document made behind its back takes it over, keeping what was set on
// it, at its next use.
class SingleLineTextItem : public QGraphicsTextItem
{
    Q_OBJECT
public:
    explicit SingleLineTextItem(QGraphicsItem* parent = nullptr);
    ~SingleLineTextItem() override;

    QRectF boundingRect() const override;
    // The document's rectangle, as QGraphicsTextItem gives it.
    QPainterPath shape() const override;
    bool contains(const QPointF& point) const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // ---- what QGraphicsTextItem offers, with or without a document
    QString toPlainText() const;
    void setPlainText(const QString& text);
    QFont font() const;
    void setFont(const QFont& font);
    QColor defaultTextColor() const;
    void setDefaultTextColor(const QColor& color);
    Qt::TextInteractionFlags textInteractionFlags() const;
    void setTextInteractionFlags(Qt::TextInteractionFlags flags);
    void setTextWidth(qreal width);
    // These build the document.
    QTextDocument* document() const;
    QTextCursor textCursor() const;
    void setTextCursor(const QTextCursor& cursor);
    // Whether the document and its text control exist yet.
    bool hasDocument() const { return m_hasDocument; }

    void setAlignment(Qt::Alignment alignment);
    Qt::Alignment alignment() const { return m_alignment; }
    void setUnderlined(bool on);
    bool isUnderlined() const { return m_underlined; }

    // Gives a label that holds no text yet its first text, leaving it as
    // setPlainText() would, at a good deal less cost: the empty document is
    // filled in place rather than rebuilt and laid out twice, and the caret
    // goes back to the start only when the label first gets the focus.
    void setInitialText(const QString& text);

    // Horizontal advance of the plain text in the label's font.
    qreal textWidth() const;
    // The width of what the label shows when not edited: its text, or the
    // placeholder while the text is empty.
    qreal shownWidth() const;

    // ---- a label's text drawn without the label
    // What a label without a document shows, for an owner that draws the
    // text of labels it has not made: an entity draws its rows' cells so
    // until somebody uses them.
    struct Look
    {
        QString text;   // as the label keeps it: see keptText
        QFont font;     // without the underline attribute
        QColor color;
        Qt::Alignment alignment = Qt::AlignLeft;
        bool underlined = false;
        QString placeholder;
    };
    // What a label keeps of a text given to it.
    static QString keptText(const QString& text);
    // The textWidth() and boundingRect() of a label without a document.
    static qreal advanceOf(const QFont& font, const QString& text);
    // The shownWidth() of such a label: the placeholder's advance in the
    // upright font while the text is empty.
    static qreal shownAdvanceOf(const QFont& font, const QString& text, const QString& placeholder);
    static QRectF boundsOf(const QFont& font, const QString& text);
    // Paints what such a label paints while neither highlighted nor framed,
    // the painter at the label's origin: for a view when given its widget,
    // else as an export; `exposed` is the part of the label to repaint.
    static void paintLook(QPainter* painter, const Look& look, const QRectF& exposed, const QWidget* widget);

    // Makes the label editable, gives it the focus and selects all text.
    void startEditing();
    bool isEditing() const { return m_editing; }

    // The completion popup while it is attached to a view, else null.
    QAbstractItemView* completionPopup() const;

    // The candidates in the letter case of what was typed: all upper, all
    // lower, or position by position for mixed input.
    static QStringList adaptCompletionCase(const QStringList& candidates, const QString& typed);
    bool isCompletionPopupVisible() const;

    // Set by the owners; an owner that changes highlighted or focusFrame
    // repaints the label.
    QString placeholderText;
    bool inLastRow = false;          // Return asks for a new row instead of ending editing
    bool dragEnabled = false;        // a left-button drag starts a row drag
    // A row label of an entity: the entity hears its editingFinished,
    // newAttributeRequested and dragStarted, tied when it first emits one
    // of them (an entity can have a hundred thousand rows, few ever edited).
    bool rowOfEntity = false;
    bool completionEnabled = false;  // data-type completions while editing
    bool highlighted = false;        // rows linked to a selected edge
    bool focusFrame = false;         // the row being edited

signals:
    void editingFinished(SingleLineTextItem* who, bool viaTab = false, bool viaBacktab = false);
    void newAttributeRequested();
    void dragStarted(SingleLineTextItem* who, QPointF scenePos);

protected:
    bool sceneEvent(QEvent* event) override;
    void childEvent(QChildEvent* event) override;
    void mousePressEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void mouseDoubleClickEvent(QGraphicsSceneMouseEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    QVariant itemChange(GraphicsItemChange change, const QVariant& value) override;

private:
    // Builds the document from what the label holds, or takes over one made
    // behind its back.
    void ensureDocument() const;
    void buildDocument();
    void adoptDocument();
    // The document's rectangle: (0, 0, natural width of the line, its
    // height), computed without a document.
    QRectF documentRect() const;
    Look look() const;
    // The text as laid out by the document, clipped to exposed; as glyphs
    // where the bold is imitated.
    static void paintLine(QPainter* painter, const Look& look, const QRectF& exposed);
    // The text as glyph outlines (the placeholder as text), as exports
    // show it.
    static void paintGlyphs(QPainter* painter, const Look& look);
    void configureSingleLine();
    void onContentsChanged();
    void stripTabs();
    void applyUnderline();
    void invalidateSize();
    void settlePendingCaret();
    void finishViaTab();
    void finishViaBacktab();
    void finishViaReturn(bool shift);
    void dropFocusQuietly();
    bool takeCompletionFromPopup();
    void movePopupRow(int key);
    void refreshCompletions();
    void updateCompletionPopup();
    void attachPopup(QWidget* viewport);
    void detachPopup();
    void hidePopup();
    void insertCompletion(const QString& text);
    bool pointerOverPopup() const;
    bool wantsShortcutOverride(const QKeyEvent* key) const;
    void tieToEntity();

    // Without a document: what it would hold.
    bool m_hasDocument = false;
    bool m_buildingDocument = false;
    bool m_documentMadeElsewhere = false;
    QString m_text;
    QFont m_font;
    QColor m_color;   // invalid: the palette's text colour
    Qt::TextInteractionFlags m_flags = Qt::NoTextInteraction;

    mutable QRectF m_cachedRect;
    mutable bool m_cachedRectValid = false;
    // The last measured text width and what it was measured for.
    mutable qreal m_width = 0;
    mutable qreal m_naturalWidth = 0;   // of the line the document would lay out
    mutable bool m_widthValid = false;
    mutable QString m_widthText;
    mutable QFont m_widthFont;
    QMetaObject::Connection m_contentsConnection;
    bool m_editing = false;
    bool m_caretPending = false;   // setInitialText left the caret behind the text
    bool m_finishingViaTab = false;
    bool m_finishingViaBacktab = false;
    bool m_finishingQuietly = false;
    bool m_dragging = false;
    bool m_tiedToEntity = false;
    QPointF m_pressPos;
    bool m_underlined = false;
    bool m_rewriting = false;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    bool m_insertingCompletion = false;
    QCompleter* m_completer = nullptr;
    QStringListModel* m_completionModel = nullptr;
    bool m_popupClickConnected = false;
    QMetaObject::Connection m_viewportConnection;
};
