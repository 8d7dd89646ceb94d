#pragma once

#include <QByteArray>
#include <QRectF>
#include <QString>

class ERScene;
class QGraphicsScene;

// Renders the live diagram into a PDF page or an SVG drawing. Both always
// render in the light theme, without selection glow, without the grid and on
// a white background, whatever the window shows; theme, selection, grid and
// background are restored before a function returns, on success and on
// failure alike. GUI thread only.
class SceneExporter
{
public:
    // One A2 page at 300 dpi with 12 mm margins, landscape when the diagram
    // is wider than high. Source: the items' bounds grown by 80.
    static bool exportToPdf(ERScene* scene, const QString& filePath, QString* errorText = nullptr);

    // A drawing at the screen's logical resolution whose size is the items'
    // bounds grown by 80 (800 x 600 for an empty diagram).
    static bool exportToSvg(ERScene* scene, const QString& filePath, QString* errorText = nullptr);

    // The same renderings into memory, for callers that store the bytes
    // themselves; an empty result means failure.
    static QByteArray renderPdf(ERScene* scene, QString* errorText = nullptr);
    static QByteArray renderSvg(ERScene* scene, QString* errorText = nullptr);

    static QRectF pdfSourceRect(const QGraphicsScene* scene);
    static QRectF svgSourceRect(const QGraphicsScene* scene);

    static constexpr int PdfResolution = 300;
    static constexpr qreal PdfMarginMm = 12;
    static constexpr qreal PdfSourceMargin = 80;
    static constexpr qreal SvgSourceMargin = 80;
};
