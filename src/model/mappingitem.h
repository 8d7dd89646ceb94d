#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A column-to-column data mapping: where a target column's data comes
// from, named by model, table and column ids on both sides.
class MappingItem : public QObject
{
    Q_OBJECT
public:
    explicit MappingItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString sourceModelId() const { return m_sourceModelId; }
    void setSourceModelId(const QString& sourceModelId) { m_sourceModelId = sourceModelId; }
    QString sourceTableId() const { return m_sourceTableId; }
    void setSourceTableId(const QString& sourceTableId) { m_sourceTableId = sourceTableId; }
    QString sourceColumnId() const { return m_sourceColumnId; }
    void setSourceColumnId(const QString& sourceColumnId) { m_sourceColumnId = sourceColumnId; }
    QString targetModelId() const { return m_targetModelId; }
    void setTargetModelId(const QString& targetModelId) { m_targetModelId = targetModelId; }
    QString targetTableId() const { return m_targetTableId; }
    void setTargetTableId(const QString& targetTableId) { m_targetTableId = targetTableId; }
    QString targetColumnId() const { return m_targetColumnId; }
    void setTargetColumnId(const QString& targetColumnId) { m_targetColumnId = targetColumnId; }
    QString description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }

    // {"id", "name", "sourceModelId", "sourceTableId", "sourceColumnId", "targetModelId", "targetTableId", "targetColumnId", "description"}, all strings.
    QJsonObject toJson() const;
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    QString m_sourceModelId;
    QString m_sourceTableId;
    QString m_sourceColumnId;
    QString m_targetModelId;
    QString m_targetTableId;
    QString m_targetColumnId;
    QString m_description;
};
