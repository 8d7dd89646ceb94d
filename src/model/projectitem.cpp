#include "model/projectitem.h"

#include "model/diagramitem.h"
#include "model/itemid.h"
#include "model/modelitem.h"

#include <QJsonArray>

ProjectItem::ProjectItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
    , m_name(QStringLiteral("Untitled Project"))
{
}

void ProjectItem::setName(const QString& name)
{
    m_name = name;
}

ModelItem* ProjectItem::addModel()
{
    auto* model = new ModelItem(this);
    m_models.append(model);
    return model;
}

QList<ModelItem*> ProjectItem::models() const
{
    return m_models;
}

QJsonObject ProjectItem::toDocumentJson() const
{
    QJsonArray diagrams;
    for (const ModelItem* model : m_models) {
        for (const DiagramItem* diagram : model->diagrams()) {
            diagrams.append(diagram->data());
        }
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), QStringLiteral("2.0"));
    root.insert(QStringLiteral("type"), QStringLiteral("quill-project"));
    root.insert(QStringLiteral("data"), QJsonObject{{QStringLiteral("id"), m_id},
                                                    {QStringLiteral("name"), m_name}});
    root.insert(QStringLiteral("diagrams"), diagrams);
    return root;
}

bool ProjectItem::isProjectJson(const QJsonObject& root)
{
    return root.value(QStringLiteral("type")).toString() == QLatin1String("quill-project")
        && root.contains(QStringLiteral("data"));
}

bool ProjectItem::loadDocumentJson(const QJsonObject& root)
{
    return isProjectJson(root);
}
