#pragma once

#include "interchange/mermaidrecords.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// Diagram JSON from what the Mermaid reader gathered: new ids, entities on
// a grid (320 by 240 apart), a primary key for every entity that has
// attributes (its first one when none is marked), and for every
// relationship the attribute of its second entity that serves as foreign
// key, when one matches the first entity's name or is marked FK. Never
// fails; empty lists give empty arrays.
QJsonObject mermaidModelToSceneJson(QList<MermaidEntity> entities, const QList<MermaidRelationship>& relationships);

// The key names are matched by: lower case, letters and digits only, a
// trailing "id" and then a plural 's' dropped (customer_id, CustomerID and
// customers all give customer).
QString normalizeFkMatchKey(const QString& text);
