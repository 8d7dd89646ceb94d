#include "model/itemnames.h"

#include <QSet>

namespace {

QSet<QString> nameSet(const QStringList& names, Qt::CaseSensitivity cs)
{
    QSet<QString> set;
    set.reserve(names.size());
    for (const QString& name : names) {
        if (!name.isEmpty())
            set.insert(cs == Qt::CaseInsensitive ? name.toLower() : name);
    }
    return set;
}

} // namespace

QString firstFreeNumberedName(const QString& prefix, const QStringList& takenNames,
                              Qt::CaseSensitivity cs, int firstNumber)
{
    const QSet<QString> taken = nameSet(takenNames, cs);
    // At most takenNames.size() candidates can be taken, so this ends.
    for (qint64 n = qMax(firstNumber, 0);; ++n) {
        const QString candidate = prefix + QString::number(n);
        if (!taken.contains(cs == Qt::CaseInsensitive ? candidate.toLower() : candidate))
            return candidate;
    }
}

QString firstFreeSuffixedName(const QString& base, const QStringList& takenNames)
{
    const QSet<QString> taken = nameSet(takenNames, Qt::CaseInsensitive);
    if (!taken.contains(base.toLower()))
        return base;
    for (qint64 n = 2;; ++n) {
        const QString candidate = base + QLatin1Char('_') + QString::number(n);
        if (!taken.contains(candidate.toLower()))
            return candidate;
    }
}
