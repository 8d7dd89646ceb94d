// ERScene: moves of many items at once, without the item index, and the
// pause of the index they and the readers use.
#include "diagram/erscene.h"

#include "diagram/entityitem.h"
#include "edges/edgeitem.h"

#include <utility>

namespace {

// Below this many items changed, a move leaves the index alone whatever the
// scene's size: the index's cells stay short.
constexpr qsizetype BulkMoveFloor = 1000;
// A move changing at least 1 / BulkMoveShare of the scene's items is a bulk
// move.
constexpr qsizetype BulkMoveShare = 4;
// Edges whose boxes, added up, cover the diagram's extent this many times
// over crowd the index.
constexpr double CrowdedCover = 100.0;

// The items a move of entity changes: itself, its children and its edges.
qsizetype itemsMovedWith(const EntityItem* entity)
{
    return 1 + entity->childItems().size() + entity->edges().size();
}

} // namespace

void ERScene::beginBulkMove(const QList<EntityItem*>& moved)
{
    if (m_bulkMoveDepth++ > 0 || m_bulkMovePause || itemIndexMethod() == NoIndex)
        return;
    qsizetype changed = 0;
    for (const EntityItem* entity : moved)
        changed += entity ? itemsMovedWith(entity) : 0;
    if (changed < BulkMoveFloor)
        return;
    // Every item of the scene: the entities with their children, the
    // edges, the annotations.
    qsizetype all = m_edgeOrder.size() + m_annotations.size();
    for (const EntityItem* entity : std::as_const(m_entities))
        all += 1 + entity->childItems().size();
    if (changed * BulkMoveShare < all)
        return;
    m_bulkMovePause.emplace(this);
}

void ERScene::endBulkMove()
{
    if (m_bulkMoveDepth > 0)
        --m_bulkMoveDepth;
}

void ERScene::endBulkMoves()
{
    m_bulkMoveDepth = 0;
    m_bulkMovePause.reset();
}

void ERScene::setIndexAsideWhereCrowded()
{
    if (m_bulkMovePause || itemIndexMethod() == NoIndex || m_edgeOrder.size() < BulkMoveFloor)
        return;
    const QRectF extent = contentBoundingRect();
    const double area = extent.width() * extent.height();
    if (!(area > 0.0))
        return;
    // An edge's route runs between its two entities: the box around both
    // stands for its box, routed or not yet.
    double covered = 0.0;
    for (auto it = m_edgeOrder.cbegin(); it != m_edgeOrder.cend(); ++it) {
        const EdgeItem* edge = it.key();
        if (!edge->fromEntity() || !edge->toEntity())
            continue;
        const QRectF box = edge->fromEntity()->sceneBoundingRect() | edge->toEntity()->sceneBoundingRect();
        covered += box.width() * box.height();
    }
    if (covered >= CrowdedCover * area)
        m_bulkMovePause.emplace(this);
}

ERScene::ItemIndexPause::ItemIndexPause(ERScene* scene)
    : m_scene(scene)
    , m_method(scene->itemIndexMethod())
{
    if (m_method != NoIndex)
        m_scene->setItemIndexMethod(NoIndex);
}

void ERScene::ItemIndexPause::resume()
{
    if (m_method != NoIndex)
        m_scene->setItemIndexMethod(std::exchange(m_method, NoIndex));
}
