#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

class ModelItem;

// The open project: its models and the project file envelope.
class ProjectItem : public QObject
{
    Q_OBJECT
public:
    explicit ProjectItem(QObject* parent = nullptr);

    void setName(const QString& name);

    ModelItem* addModel();
    QList<ModelItem*> models() const;

    QJsonObject toDocumentJson() const;
    static bool isProjectJson(const QJsonObject& root);
    bool loadDocumentJson(const QJsonObject& root);

private:
    QString m_id;
    QString m_name;
    QList<ModelItem*> m_models;
};
