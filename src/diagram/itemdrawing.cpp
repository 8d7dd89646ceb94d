#include "diagram/itemdrawing.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <array>

namespace {

std::array<QPointF, 8> handlePoints(const QRectF& r)
{
    const qreal cx = r.center().x();
    const qreal cy = r.center().y();
    return {QPointF(r.left(), r.top()),    QPointF(cx, r.top()),    QPointF(r.right(), r.top()),
            QPointF(r.left(), cy),         QPointF(r.right(), cy),  QPointF(r.left(), r.bottom()),
            QPointF(cx, r.bottom()),       QPointF(r.right(), r.bottom())};
}

bool styleIsItalic(const QString& style)
{
    return style.contains(QLatin1String("Italic"), Qt::CaseInsensitive)
        || style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive);
}

bool styleIsBold(const QString& style)
{
    static const char* const words[] = {"Bold", "Black", "Heavy", "Semibold", "Demi"};
    for (const char* word : words) {
        if (style.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

int resizeHandleAt(const QRectF& rect, const QPointF& p)
{
    const auto points = handlePoints(rect);
    for (int i = 0; i < 8; ++i) {
        const QRectF hit(points[i].x() - 6, points[i].y() - 6, 12, 12);
        if (hit.contains(p))
            return i + 1;
    }
    return 0;
}

void drawSelectionFrame(QPainter* painter, const QRectF& rect, const QColor& colour)
{
    if (!painter)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(colour, 1));
    painter->setBrush(Qt::white);
    for (const QPointF& p : handlePoints(rect))
        painter->drawRect(QRectF(p.x() - 4, p.y() - 4, 8, 8));
    painter->restore();
}

QString shownLine(const QString& text)
{
    if (text.size() <= ShownLineCharacters)
        return text;
    qsizetype cut = ShownLineCharacters - 1;
    // A character of two UTF-16 units is not split.
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}

void drawOutlinedText(QPainter* painter, const QPainterPath& path, const QFont& font, const QColor& colour,
                      bool syntheticBold)
{
    if (!painter)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    if (syntheticBold) {
        const qreal width = std::max(0.05 * QFontMetricsF(font).height(), 0.55);
        QPen pen(colour, width);
        pen.setJoinStyle(Qt::RoundJoin);
        painter->setPen(pen);
        painter->setBrush(colour);
        painter->drawPath(path);
    } else {
        painter->fillPath(path, colour);
    }
    painter->restore();
}

void drawBoxText(QPainter* painter, const QRectF& area, const QFont& font, const QString& wholeText,
                 const QColor& colour, bool onScreen)
{
    const QString text = shownLine(wholeText);
    bool syntheticBold = false;
    bool syntheticItalic = false;
    const QFont resolved = resolveStyledFont(font, &syntheticBold, &syntheticItalic);
    // A bold that the family has no face for is drawn as the exports draw
    // it; the screen's font engine would show it regular.
    if (onScreen && !syntheticBold) {
        painter->setFont(font);
        painter->setPen(colour);
        painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
        return;
    }
    if (text.isEmpty() || area.width() <= 0 || area.height() <= 0)
        return;
    QPainterPath path = glyphPath(text, resolved, syntheticItalic);
    const QRectF bounds = path.boundingRect();
    path.translate(area.left() - bounds.left(), area.center().y() - bounds.center().y());
    drawOutlinedText(painter, path, resolved, colour, syntheticBold);
}

QPainterPath glyphPath(const QString& text, const QFont& font, bool syntheticItalic)
{
    const qreal ascent = QFontMetricsF(font).ascent();
    QPainterPath path;
    path.addText(QPointF(0, ascent), font, text);
    if (!syntheticItalic)
        return path;
    // Slanted about the baseline, so that the text keeps its place.
    QTransform shear;
    shear.translate(0, ascent);
    shear.shear(-0.3, 0);
    shear.translate(0, -ascent);
    return shear.map(path);
}

bool findFontStyleName(const QString& family, bool bold, bool italic)
{
    const QStringList styles = QFontDatabase::styles(family);
    if (styles.isEmpty())
        return true;
    for (const QString& style : styles) {
        if (styleIsBold(style) == bold && styleIsItalic(style) == italic)
            return true;
    }
    return false;
}

QFont resolveStyledFont(const QFont& font, bool* syntheticBold, bool* syntheticItalic)
{
    const bool wantBold = font.weight() > 500;
    const bool wantItalic = font.style() != QFont::StyleNormal;
    const bool haveBold = wantBold && findFontStyleName(font.family(), true, false);
    const bool haveItalic = wantItalic && findFontStyleName(font.family(), false, true);

    QFont resolved(font);
    resolved.setWeight(haveBold ? QFont::Bold : QFont::Normal);
    resolved.setStyle(haveItalic ? QFont::StyleItalic : QFont::StyleNormal);
    resolved.setStyleStrategy(
        QFont::StyleStrategy(QFont::PreferOutline | QFont::ForceOutline | QFont::NoFontMerging));
    if (syntheticBold)
        *syntheticBold = wantBold && !haveBold;
    if (syntheticItalic)
        *syntheticItalic = wantItalic && !haveItalic;
    return resolved;
}
