#pragma once

#include <QString>
#include <QStringList>

// Generated names for new model objects.

// prefix + n for the smallest n >= firstNumber whose result is not among the
// taken names (compared with the given case sensitivity; empty names never
// count as taken). "Model 1", "Diagram 2", "table_3", ...
QString firstFreeNumberedName(const QString& prefix, const QStringList& takenNames,
                              Qt::CaseSensitivity cs, int firstNumber = 1);

// base when no taken name equals it ignoring case, else base + "_" + n for
// the smallest n >= 2 that is free ignoring case. "pk_orders", "pk_orders_2".
QString firstFreeSuffixedName(const QString& base, const QStringList& takenNames);
