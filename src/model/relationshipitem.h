#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A relationship between two tables of a model, realised by the foreign-key
// constraint constraintId, which lives in the table toTableId (the child that
// holds the foreign key) and references fromTableId.
class RelationshipItem : public QObject
{
    Q_OBJECT
public:
    explicit RelationshipItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }
    QString constraintId() const { return m_constraintId; }
    void setConstraintId(const QString& constraintId) { m_constraintId = constraintId; }
    QString fromTableId() const { return m_fromTableId; }
    void setFromTableId(const QString& fromTableId) { m_fromTableId = fromTableId; }
    QString toTableId() const { return m_toTableId; }
    void setToTableId(const QString& toTableId) { m_toTableId = toTableId; }

    // The text the explorer shows: the name when it is not empty, else the
    // first 8 characters of both table ids joined by " → ", else
    // "Relationship".
    QString displayName() const;

    // {"id", "name", "description", "constraintId", "fromTableId", "toTableId"}, all strings.
    QJsonObject toJson() const;
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    QString m_description;
    QString m_constraintId;
    QString m_fromTableId;
    QString m_toTableId;
};
