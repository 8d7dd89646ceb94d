#pragma once

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

class QPainter;

// Drawing helpers shared by the in-place editor, text items and group
// frames: the eight resize handles, text painted as glyph paths, and the
// choice between a real and a synthetic bold or italic face.

// Characters of one line of text that the canvas and the project explorer
// lay out: far more than a screen shows at a readable size, and twice the
// longest name a file may hold. A longer text is shown cut there, ending in
// an ellipsis; the text itself stays whole.
constexpr qsizetype ShownLineCharacters = 2000;

// text as a line shows it: whole up to ShownLineCharacters, the start of it
// and "…" beyond.
QString shownLine(const QString& text);

// The handle of rect under p: 1 top-left, 2 top-middle, 3 top-right,
// 4 middle-left, 5 middle-right, 6 bottom-left, 7 bottom-middle,
// 8 bottom-right; 0 when p is on none. Each handle is hit in a 12 x 12
// square centred on its point; the first hit in that order wins.
int resizeHandleAt(const QRectF& rect, const QPointF& p);

// Draws the eight handles of rect (no frame line): white 8 x 8 squares
// outlined in colour.
void drawSelectionFrame(QPainter* painter, const QRectF& rect, const QColor& colour);

// Fills a glyph path in colour; with syntheticBold also strokes it so that a
// family without a bold face still prints heavier.
void drawOutlinedText(QPainter* painter, const QPainterPath& path, const QFont& font, const QColor& colour,
                      bool syntheticBold);

// Draws text in font and colour, left-aligned and vertically centred in
// area. On screen it is plain text; in an export (onScreen false) it becomes
// glyph outlines, which keep the exported text independent of the fonts
// installed where the PDF or SVG is opened, and an empty text or area draws
// nothing.
void drawBoxText(QPainter* painter, const QRectF& area, const QFont& font, const QString& text,
                 const QColor& colour, bool onScreen);

// True when the font database lists a style of family that is exactly as
// bold and as italic as requested. A family with no listed styles counts as
// having every style.
bool findFontStyleName(const QString& family, bool bold, bool italic);

// The glyphs of text in font as a path whose baseline lies at the font's
// ascent (the top of the text at y = 0), slanted to the right when
// syntheticItalic asks for an imitated italic.
QPainterPath glyphPath(const QString& text, const QFont& font, bool syntheticItalic);

// The font to build glyph paths from: a real bold or italic face where the
// family has one, otherwise the upright regular face, with the caller told
// which of the two it has to imitate. Either pointer may be null.
QFont resolveStyledFont(const QFont& font, bool* syntheticBold, bool* syntheticItalic);
