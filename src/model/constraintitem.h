#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

// One constraint of a table: primary key, foreign key, unique or check. Its
// column lists hold column ids, never names. For a foreign key the entry of
// referencedColumns at a position belongs to the entry of columns at the same
// position.
class IndentedJsonWriter;
class ConstraintItem : public QObject
{
    Q_OBJECT
public:
    enum ConstraintType {
        PrimaryKey = 0,
        ForeignKey = 1,
        Unique = 2,
        Check = 3,
    };

    explicit ConstraintItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString& id);
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    // A ConstraintType code; setType assigns without a range check (an
    // unknown code is written as "unique").
    int type() const { return m_type; }
    void setType(int type) { m_type = type; }
    QStringList columns() const { return m_columns; }
    void setColumns(const QStringList& columns) { m_columns = columns; }
    QString referencedTableId() const { return m_referencedTableId; }
    void setReferencedTableId(const QString& id) { m_referencedTableId = id; }
    QStringList referencedColumns() const { return m_referencedColumns; }
    void setReferencedColumns(const QStringList& columns) { m_referencedColumns = columns; }
    QString expression() const { return m_expression; }
    void setExpression(const QString& expression) { m_expression = expression; }
    QString description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }

    // Takes a column id out of both column lists; a foreign key loses the
    // whole pair at a position where either list names it. True when either
    // list changed.
    bool forgetColumn(const QString& columnId);

    // 0 "primaryKey", 1 "foreignKey", 3 "check", anything else "unique".
    static QString typeToString(int type);
    // Exact, case-sensitive: "primaryKey" 0, "foreignKey" 1, "check" 3,
    // anything else 2 (unique).
    static int typeFromString(const QString& text);

    QJsonObject toJson() const;
    // The text of toJson() at level, written straight into writer.
    void writeJson(IndentedJsonWriter& writer, int level) const;
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    int m_type = Unique;
    QStringList m_columns;
    QString m_referencedTableId;
    QStringList m_referencedColumns;
    QString m_expression;
    QString m_description;
};
