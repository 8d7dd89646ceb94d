// EdgeItem: the edge in the diagram JSON, and routes read from a file.
#include "edges/edgeitem.h"

#include "diagram/entityitem.h"
#include "diagram/slotitem.h"
#include "edges/routechecks.h"
#include "edges/routegeometry.h"
#include "edges/storedroute.h"
#include "model/itemid.h"
#include "model/jsonfields.h"

#include <QDebug>
#include <QJsonArray>

// ============================================================ stored routes

void EdgeItem::reanchorStoredRoute(const QList<QPointF>& points)
{
    if (points.size() < 2)
        return;
    if (!m_fromSlot || !m_toSlot) {
        setRoutePoints(simplifyRoute(points));
        return;
    }
    const QList<QPointF> fitted = reanchorRoute(points, m_fromSlot->scenePos(), m_fromSlot->side(),
                                                m_toSlot->scenePos(), m_toSlot->side());
    if (fitted.size() >= 2)
        setRoutePoints(fitted);
}

// ============================================================ JSON

QJsonObject slotToJson(const SlotItem* slot)
{
    QJsonObject obj;
    obj.insert(QStringLiteral("side"), slot->side());
    obj.insert(QStringLiteral("x"), slot->pos().x());
    obj.insert(QStringLiteral("y"), slot->pos().y());
    return obj;
}

void applySlotJson(SlotItem* slot, const QJsonObject& obj)
{
    if (!slot)
        return;
    if (obj.contains(QStringLiteral("side")))
        slot->setSide(obj.value(QStringLiteral("side")).toInt(0));
    if (obj.contains(QStringLiteral("x")) && obj.contains(QStringLiteral("y")))
        slot->setPos(jsonfields::readCoordinate(obj, QLatin1String("x"), 0),
                     jsonfields::readCoordinate(obj, QLatin1String("y"), 0));
    slot->snapToBorder();
}

QJsonObject EdgeItem::toJson() const
{
    if (!m_from || !m_to) {
        qWarning() << "EdgeItem::toJson() called with null entities";
        return QJsonObject();
    }
    QJsonObject obj;
    obj.insert(QStringLiteral("from"), m_from->id());
    obj.insert(QStringLiteral("to"), m_to->id());
    obj.insert(QStringLiteral("startCard"), m_startCard);
    obj.insert(QStringLiteral("endCard"), m_endCard);
    obj.insert(QStringLiteral("id"), m_id);
    if (!m_label.isEmpty())
        obj.insert(QStringLiteral("label"), m_label);
    if (m_fromSlot)
        obj.insert(QStringLiteral("fromSlot"), slotToJson(m_fromSlot));
    if (m_toSlot)
        obj.insert(QStringLiteral("toSlot"), slotToJson(m_toSlot));
    if (m_route.size() >= 2) {
        QJsonArray points;
        for (const QPointF& p : m_route)
            points.append(QJsonObject{{QStringLiteral("x"), p.x()}, {QStringLiteral("y"), p.y()}});
        obj.insert(QStringLiteral("points"), points);
    }
    return obj;
}

void EdgeItem::fromJson(const QJsonObject& obj)
{
    m_id = obj.contains(QStringLiteral("id")) ? obj.value(QStringLiteral("id")).toString() : generateItemId();
    if (obj.contains(QStringLiteral("startCard")))
        m_startCard = obj.value(QStringLiteral("startCard")).toInt(0);
    if (obj.contains(QStringLiteral("endCard")))
        m_endCard = obj.value(QStringLiteral("endCard")).toInt(0);
    m_label = obj.value(QStringLiteral("label")).toString();
    if (obj.contains(QStringLiteral("fromSlot")) && m_fromSlot)
        applySlotJson(m_fromSlot, obj.value(QStringLiteral("fromSlot")).toObject());
    if (obj.contains(QStringLiteral("toSlot")) && m_toSlot)
        applySlotJson(m_toSlot, obj.value(QStringLiteral("toSlot")).toObject());
    update();
    if (!obj.contains(QStringLiteral("points")))
        return;
    QList<QPointF> points;
    const QJsonArray array = obj.value(QStringLiteral("points")).toArray();
    for (const QJsonValue& v : array) {
        const QJsonObject p = v.toObject();
        points.append(QPointF(jsonfields::readRouteCoordinate(p, QLatin1String("x")),
                              jsonfields::readRouteCoordinate(p, QLatin1String("y"))));
    }
    if (points.size() >= 2)
        reanchorStoredRoute(points);
}
