#include "dialogs/previewscene.h"

#include <QGraphicsView>
#include <QPainter>
#include <QPen>

#include <cmath>

PreviewScene::PreviewScene(QObject* parent)
    : QGraphicsScene(parent)
{
}

void PreviewScene::setGridColor(const QColor& color)
{
    m_gridColor = color;
    update();
}

void PreviewScene::setThemeColors(const ThemeColors& colors)
{
    setBackgroundBrush(colors[ThemeSlot::SceneBackground]);
    setGridColor(colors[ThemeSlot::GridLines]);
}

void PreviewScene::attachTo(QGraphicsView* view, bool dark)
{
    if (!view)
        return;
    view->setScene(this);
    view->setRenderHint(QPainter::Antialiasing);
    view->setInteractive(false);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setAlignment(Qt::AlignCenter);
    view->viewport()->setAutoFillBackground(true);
    view->setStyleSheet(dark ? QStringLiteral("QGraphicsView { background: #1A1A1A; border: 1px solid #3C3F41; }")
                             : QStringLiteral("QGraphicsView { background: #FFFFFF; border: 1px solid #D4D4D4; }"));
}

void PreviewScene::fitView(QGraphicsView* view)
{
    if (view && view->scene())
        view->fitInView(view->scene()->sceneRect(), Qt::KeepAspectRatio);
}

void PreviewScene::drawBackground(QPainter* painter, const QRectF& rect)
{
    painter->fillRect(rect, backgroundBrush());
    QPen pen(m_gridColor, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter->setPen(pen);
    const qreal left = std::floor(rect.left() / GridStep) * GridStep;
    const qreal top = std::floor(rect.top() / GridStep) * GridStep;
    for (qreal x = left; x < rect.right(); x += GridStep)
        painter->drawLine(int(x), int(rect.top()), int(x), int(rect.bottom()));
    for (qreal y = top; y < rect.bottom(); y += GridStep)
        painter->drawLine(int(rect.left()), int(y), int(rect.right()), int(y));
}
