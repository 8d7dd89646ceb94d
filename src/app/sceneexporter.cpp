#include "app/sceneexporter.h"

#include "app/documentfile.h"
#include "app/thememanager.h"
#include "diagram/erscene.h"

#include <QBuffer>
#include <QDebug>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsItem>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QScreen>
#include <QSvgGenerator>

#include <cmath>

namespace {

// Puts the scene into its export look for as long as it lives: light theme,
// nothing selected (and no glow), no grid, white background. The destructor
// puts everything back in the reverse order, whatever happened in between.
class ExportLook
{
public:
    explicit ExportLook(ERScene* scene)
        : m_scene(scene)
    {
        ThemeManager& theme = ThemeManager::instance();
        m_colors = theme.colors();
        m_kind = theme.kind();
        theme.setTheme(ThemeKind::Light);

        // The selection is handed back unchanged, so nobody outside needs to
        // hear about it going and coming back.
        const bool blocked = m_scene->blockSignals(true);
        const QList<QGraphicsItem*> selected = m_scene->selectedItems();
        for (QGraphicsItem* item : selected) {
            m_selected.append(item);
            item->setSelected(false);
            // The pulsing glow is an effect on the item; the scene's glow
            // timer puts it back once the item is selected again.
            if (qobject_cast<QGraphicsDropShadowEffect*>(item->graphicsEffect()))
                item->setGraphicsEffect(nullptr);
        }
        m_scene->blockSignals(blocked);

        m_grid = m_scene->isGridVisible();
        m_customBackground = m_scene->hasCustomBackground();
        m_backgroundColor = m_scene->customBackgroundColor();
        m_scene->setGridVisible(false);
        m_scene->setCustomBackgroundColor(QColor(0xff, 0xff, 0xff));
        m_scene->setCustomBackground(true);
        m_scene->update(m_scene->sceneRect());
        // The rows are drawn by their labels, in the labels' order.
        m_scene->makeAllRowLabels();
    }

    ~ExportLook()
    {
        m_scene->setGridVisible(m_grid);
        m_scene->setCustomBackgroundColor(m_backgroundColor);
        m_scene->setCustomBackground(m_customBackground);
        m_scene->update(m_scene->sceneRect());

        const bool blocked = m_scene->blockSignals(true);
        for (QGraphicsItem* item : std::as_const(m_selected)) {
            if (item->scene() == m_scene)
                item->setSelected(true);
        }
        m_scene->blockSignals(blocked);

        ThemeManager::instance().setColors(m_colors, m_kind);
    }

    ExportLook(const ExportLook&) = delete;
    ExportLook& operator=(const ExportLook&) = delete;

private:
    ERScene* m_scene;
    ThemeColors m_colors;
    ThemeKind m_kind = ThemeKind::Light;
    QList<QGraphicsItem*> m_selected;
    bool m_grid = true;
    bool m_customBackground = false;
    QColor m_backgroundColor;
};

void setRenderHints(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
}

void setError(QString* errorText, const QString& text)
{
    if (errorText)
        *errorText = text;
}

QRectF itemsBounds(const QGraphicsScene* scene)
{
    if (const auto* erScene = qobject_cast<const ERScene*>(scene))
        return erScene->itemsExtent();
    return scene->itemsBoundingRect();
}

} // namespace

QRectF SceneExporter::pdfSourceRect(const QGraphicsScene* scene)
{
    const QRectF bounds = itemsBounds(scene);
    return bounds.adjusted(-PdfSourceMargin, -PdfSourceMargin, PdfSourceMargin, PdfSourceMargin);
}

QRectF SceneExporter::svgSourceRect(const QGraphicsScene* scene)
{
    const QRectF bounds = itemsBounds(scene);
    if (bounds.width() > 0 && bounds.height() > 0)
        return bounds.adjusted(-SvgSourceMargin, -SvgSourceMargin, SvgSourceMargin, SvgSourceMargin);
    return QRectF(0, 0, 800, 600);
}

QByteArray SceneExporter::renderPdf(ERScene* scene, QString* errorText)
{
    if (!scene) {
        setError(errorText, QStringLiteral("There is no diagram to export."));
        return {};
    }
    ExportLook look(scene);
    const QRectF source = pdfSourceRect(scene);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(PdfResolution);
        const QPageLayout layout(QPageSize(QPageSize::A2),
                                 source.width() > source.height() ? QPageLayout::Landscape : QPageLayout::Portrait,
                                 QMarginsF(PdfMarginMm, PdfMarginMm, PdfMarginMm, PdfMarginMm),
                                 QPageLayout::Millimeter, QMarginsF(0, 0, 0, 0));
        if (!writer.setPageLayout(layout)) {
            setError(errorText, QStringLiteral("The PDF page could not be set up."));
            return {};
        }
        QPainter painter;
        if (!painter.begin(&writer)) {
            setError(errorText, QStringLiteral("The PDF document could not be started."));
            return {};
        }
        setRenderHints(painter);
        scene->render(&painter, QRectF(painter.viewport()), source, Qt::KeepAspectRatio);
        if (!painter.end()) {
            setError(errorText, QStringLiteral("The PDF document could not be completed."));
            return {};
        }
    }
    if (buffer.data().isEmpty())
        setError(errorText, QStringLiteral("The PDF document came out empty."));
    return buffer.data();
}

QByteArray SceneExporter::renderSvg(ERScene* scene, QString* errorText)
{
    if (!scene) {
        setError(errorText, QStringLiteral("There is no diagram to export."));
        return {};
    }
    ExportLook look(scene);
    const QRectF source = svgSourceRect(scene);

    int dpi = 96;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dpi = static_cast<int>(std::lround(screen->logicalDotsPerInch()));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setResolution(dpi);
        generator.setSize(QSize(static_cast<int>(std::lround(source.width())),
                                static_cast<int>(std::lround(source.height()))));
        generator.setViewBox(QRectF(0, 0, source.width(), source.height()));
        generator.setTitle(QStringLiteral("ER Diagram"));
        generator.setDescription(QStringLiteral("Exported ER Diagram"));

        QPainter painter;
        if (!painter.begin(&generator)) {
            setError(errorText, QStringLiteral("The SVG drawing could not be started."));
            return {};
        }
        setRenderHints(painter);
        scene->render(&painter, QRectF(0, 0, source.width(), source.height()), source, Qt::KeepAspectRatio);
        if (!painter.end()) {
            setError(errorText, QStringLiteral("The SVG drawing could not be completed."));
            return {};
        }
    }
    if (buffer.data().isEmpty())
        setError(errorText, QStringLiteral("The SVG drawing came out empty."));
    return buffer.data();
}

bool SceneExporter::exportToPdf(ERScene* scene, const QString& filePath, QString* errorText)
{
    const QByteArray bytes = renderPdf(scene, errorText);
    if (bytes.isEmpty())
        return false;
    return writeFileAtomically(filePath, bytes, errorText);
}

bool SceneExporter::exportToSvg(ERScene* scene, const QString& filePath, QString* errorText)
{
    const QByteArray bytes = renderSvg(scene, errorText);
    if (bytes.isEmpty())
        return false;
    return writeFileAtomically(filePath, bytes, errorText);
}
