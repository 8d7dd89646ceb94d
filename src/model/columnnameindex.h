#pragma once

#include <QHash>
#include <QList>
#include <QString>

class ColumnItem;

// The columns of one table by name, ignoring case exactly as
// TableItem::columnByName does, for work that looks up every row of an
// entity at once: built in one pass, each look-up then takes constant time
// where a scan of the columns would make the whole work quadratic.
class ColumnNameIndex
{
public:
    // Indexes the columns in list order (null entries are passed over).
    explicit ColumnNameIndex(const QList<ColumnItem*>& columns);

    // The first column of that name, as TableItem::columnByName finds it
    // among the columns indexed and added since.
    ColumnItem* first(const QString& name) const;

    // The first column of that name that no earlier call took, and takes
    // it; null when every column of the name is taken.
    ColumnItem* takeFirst(const QString& name);

    // Indexes a column added to the table after the index was built; it
    // comes after every column of its name already indexed.
    void add(ColumnItem* column);
    // Room for that many distinct names in all, before a run of add().
    void reserve(qsizetype names) { m_buckets.reserve(names); }

    // The text two names share exactly when they are equal ignoring case:
    // each code point case-folded on its own (a lone surrogate stays as it is).
    static QString foldedName(const QString& name);

private:
    // The columns of one name in column order: the first, then any others
    // (rare: a table seldom has two columns of one name).
    struct Bucket
    {
        ColumnItem* first = nullptr;
        QList<ColumnItem*> more;
        qsizetype taken = 0;  // how many from the front takeFirst took
    };
    QHash<QString, Bucket> m_buckets;
};
