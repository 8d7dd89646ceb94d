#pragma once

#include <QByteArray>
#include <QGraphicsView>
#include <QPointF>

class QGraphicsTextItem;

// MIME type of the drag payload that the Model Explorer offers.
extern const char* const ExplorerMimeType;

// The canvas view: the five add modes of the canvas tools, zoom within
// limits, wheel zoom and scrolling, panning with the middle button, the drop
// target for explorer drags, and Tab routing into in-place editors. It
// decides nothing about what a click means: it reports clicks, moves,
// Escape and drops as signals.
class ERView : public QGraphicsView
{
    Q_OBJECT
public:
    explicit ERView(QWidget* parent = nullptr);
    ERView(QGraphicsScene* scene, QWidget* parent = nullptr);

    void setAddTableMode(bool on);
    void setAddViewMode(bool on);
    void setAddRelationshipMode(bool on);
    void setAddTextMode(bool on);
    void setAddGroupMode(bool on);
    bool isAddTableMode() const { return m_addTableMode; }
    bool isAddViewMode() const { return m_addViewMode; }
    bool isAddRelationshipMode() const { return m_addRelationshipMode; }
    bool isAddTextMode() const { return m_addTextMode; }
    bool isAddGroupMode() const { return m_addGroupMode; }
    bool isInAddMode() const;
    void updateModeCursor();

    double zoom() const { return m_zoom; }
    double minZoom() const { return m_minZoom; }
    double maxZoom() const { return m_maxZoom; }
    void zoomBy(double factor);
    void applyZoom();
    // QGraphicsView's fit, reported as a zoom change, so that the zoom
    // controls show the scale it leaves.
    void fitInView(const QRectF& rect, Qt::AspectRatioMode mode = Qt::IgnoreAspectRatio);

signals:
    void sceneClicked(QPointF scenePos, Qt::MouseButton button);
    void sceneMouseMoved(QPointF scenePos);
    void zoomChanged(double value);
    void escapePressed();
    void explorerDropRequested(QByteArray payload, QPointF scenePos);

public slots:
    void zoomIn();
    void zoomOut();
    void resetZoom();
    void fitAll();
    void setZoom(double z);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool viewportEvent(QEvent* event) override;

private:
    void init();
    // The in-place editor that has the keyboard, or null.
    QGraphicsTextItem* activeTextEditor() const;

    double m_zoom = 1.0;
    bool m_addTableMode = false;
    bool m_addViewMode = false;
    bool m_addRelationshipMode = false;
    bool m_addTextMode = false;
    bool m_addGroupMode = false;
    double m_minZoom = 0.1;
    double m_maxZoom = 4.0;
    double m_wheelZoomBase = 1.0015;
};
