#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class IndentedJsonWriter;
class ColumnItem;
class ConstraintItem;
class IndexItem;

// One table of a model: names, physical options for the model's dialect and
// three ordered lists of children (columns, constraints, indexes). The table
// keeps its children consistent: removing a column strips its id from the
// table's own constraints and indexes.
//
// Removed children leave the lists at once and are destroyed when control
// returns to the event loop; children replaced by fromJson are destroyed at
// once.
class TableItem : public QObject
{
    Q_OBJECT
public:
    explicit TableItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString schema() const { return m_schema; }
    void setSchema(const QString& schema) { m_schema = schema; }
    QString comment() const { return m_comment; }
    void setComment(const QString& comment) { m_comment = comment; }

    // Physical table options: option key -> text value. Keys read from a file
    // that no dialect offers are held and written back unchanged.
    QJsonObject properties() const { return m_properties; }
    // The text under key; empty when absent or not a string.
    QString property(const QString& key) const;
    // Stores value under key (an empty value stays as an empty string);
    // does nothing for an empty key.
    void setProperty(const QString& key, const QString& value);

    QList<ColumnItem*> columns() const { return m_columns; }
    QList<ConstraintItem*> constraints() const { return m_constraints; }
    QList<IndexItem*> indexes() const { return m_indexes; }

    // Look-ups by exact id; null when nothing matches.
    ColumnItem* column(const QString& id) const;
    ConstraintItem* constraint(const QString& id) const;
    // Told by a constraint of this table that its id changed.
    void forgetConstraintIndex() { m_constraintIndexStale = true; }
    IndexItem* index(const QString& id) const;
    // The first column whose name equals name ignoring case, or null.
    ColumnItem* columnByName(const QString& name) const;
    // The first constraint of that ConstraintItem::ConstraintType code, or
    // null; constraintOfType(ConstraintItem::PrimaryKey) finds the primary key.
    ConstraintItem* constraintOfType(int type) const;

    ColumnItem* addColumn();
    // Puts the named columns first, in the order given (unknown and repeated
    // ids are passed over); the other columns follow in their previous order.
    void setColumnOrder(const QStringList& columnIds);
    // Removes the column and every reference to it from this table's
    // constraints and indexes. A foreign key loses whole pairs: the position
    // whose local or referenced column is the removed one goes from both
    // lists, so the remaining pairs keep their partners.
    void removeColumn(const QString& id);

    ConstraintItem* addConstraint();
    void removeConstraint(const QString& id);
    IndexItem* addIndex();
    void removeIndex(const QString& id);

    // prefix + the table name, or with "_2", "_3", ... appended until no
    // constraint of the table bears it (ignoring case).
    QString uniqueConstraintName(const QString& prefix) const;
    // "ix_" + the table name, made unique among the table's indexes likewise.
    QString uniqueIndexName() const;

    QJsonObject toJson() const;
    // The text of toJson() at level, written straight into writer.
    void writeJson(IndentedJsonWriter& writer, int level) const;
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    QString m_schema;
    QString m_comment;
    QJsonObject m_properties;
    QList<ColumnItem*> m_columns;
    QList<ConstraintItem*> m_constraints;
    // The constraints by id, the first of an id when several share it; made
    // again on the next lookup after the list or an id changed.
    mutable QHash<QString, ConstraintItem*> m_constraintIndex;
    mutable bool m_constraintIndexStale = true;
    QList<IndexItem*> m_indexes;
};
