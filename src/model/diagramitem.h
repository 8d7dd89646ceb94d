#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// One diagram of a model. Its scene content is held as the canvas's diagram
// JSON in data, unread and handed back unchanged; the project file stores
// that content apart from the diagram's own object.
class DiagramItem : public QObject
{
    Q_OBJECT
public:
    explicit DiagramItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString& id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    QString modelId() const { return m_modelId; }
    void setModelId(const QString& modelId) { m_modelId = modelId; }
    // The stored diagram JSON; empty for a diagram never captured.
    QJsonObject data() const { return m_data; }
    void setData(const QJsonObject& data) { m_data = data; }

    // {"id", "name", "modelId"} only: the content travels separately.
    QJsonObject toJson() const;
    // Reads id, name and model id; leaves the content untouched.
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    QString m_modelId;
    QJsonObject m_data;
};
