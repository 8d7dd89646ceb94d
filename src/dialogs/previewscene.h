#pragma once

#include "app/thememanager.h"

#include <QColor>
#include <QGraphicsScene>

class QGraphicsView;

// The small scene behind a style dialog's live preview: the theme's
// background with a 16-pixel grid in the theme's grid colour.
class PreviewScene : public QGraphicsScene
{
    Q_OBJECT
public:
    explicit PreviewScene(QObject* parent = nullptr);

    QColor gridColor() const { return m_gridColor; }
    void setGridColor(const QColor& color);
    // Background and grid from a theme's colour set.
    void setThemeColors(const ThemeColors& colors);

    static constexpr int GridStep = 16;

    // Sets a preview view up for this scene: no interaction, no scroll bars,
    // centred, with a frame in the theme's look (dark or light).
    void attachTo(QGraphicsView* view, bool dark);

    // Fits the scene rectangle into the view, keeping its proportions.
    static void fitView(QGraphicsView* view);

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
    QColor m_gridColor;
};
