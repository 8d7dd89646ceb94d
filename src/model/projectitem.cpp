#include "model/projectitem.h"

#include "model/diagramitem.h"
#include "model/documentitem.h"
#include "model/indentedjson.h"
#include "model/itemcollections.h"
#include "model/itemid.h"
#include "model/itemnames.h"
#include "model/jsonfields.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"

#include <QJsonArray>

using namespace itemcollections;
using namespace jsonfields;

ProjectItem::ProjectItem(QObject* parent)
    : QObject(parent)
    , m_id(generateItemId())
    , m_name(QStringLiteral("Untitled Project"))
{
}

ModelItem* ProjectItem::model(const QString& id) const
{
    return m_models.value(id);
}

ModelItem* ProjectItem::modelByName(const QString& name) const
{
    for (ModelItem* model : modelsInIdOrder()) {
        if (model->name().compare(name, Qt::CaseInsensitive) == 0)
            return model;
    }
    return nullptr;
}

DiagramItem* ProjectItem::findDiagram(const QString& id) const
{
    for (const ModelItem* model : modelsInIdOrder()) {
        if (DiagramItem* diagram = model->diagram(id))
            return diagram;
    }
    return nullptr;
}

MappingItem* ProjectItem::mapping(const QString& id) const
{
    return m_mappings.value(id);
}

ModelItem* ProjectItem::addModel()
{
    auto* model = new ModelItem(this);
    m_models.insert(model->id(), model);
    return model;
}

MappingItem* ProjectItem::addMapping()
{
    auto* mapping = new MappingItem(this);
    m_mappings.insert(mapping->id(), mapping);
    return mapping;
}

void ProjectItem::removeModel(const QString& id)
{
    removeLater(m_models, id);
}

void ProjectItem::removeMapping(const QString& id)
{
    removeLater(m_mappings, id);
}

QList<ModelItem*> ProjectItem::models() const
{
    return sortedByName(m_models);
}

QList<MappingItem*> ProjectItem::mappings() const
{
    return sortedByName(m_mappings);
}

QString ProjectItem::uniqueModelName() const
{
    return firstFreeNumberedName(QStringLiteral("Model "), namesOf(m_models), Qt::CaseSensitive);
}

QList<ModelItem*> ProjectItem::modelsInIdOrder() const
{
    return itemsInIdOrder(m_models);
}

QJsonObject ProjectItem::toJson() const
{
    QJsonObject object;
    object.insert(QLatin1String("id"), m_id);
    object.insert(QLatin1String("name"), m_name);
    object.insert(QLatin1String("models"), toJsonArray(m_models));
    object.insert(QLatin1String("mappings"), toJsonArray(m_mappings));
    object.insert(QLatin1String("documents"), toJsonArray(m_documents));
    return object;
}

QJsonArray ProjectItem::storedDiagramContents() const
{
    QJsonArray contents;
    for (const ModelItem* model : modelsInIdOrder()) {
        for (const DiagramItem* diagram : model->diagrams()) {
            if (!diagram)
                continue;
            QJsonObject content = diagram->data();
            content.insert(QLatin1String("id"), diagram->id());
            contents.append(content);
        }
    }
    return contents;
}

QJsonObject ProjectItem::toDocumentJson() const
{
    QJsonObject envelope;
    envelope.insert(QLatin1String("version"), QStringLiteral("2.0"));
    envelope.insert(QLatin1String("type"), QStringLiteral("quill-project"));
    envelope.insert(QLatin1String("data"), toJson());

    envelope.insert(QLatin1String("diagrams"), storedDiagramContents());
    return envelope;
}

ProjectItem::DocumentParts ProjectItem::documentParts(bool compact) const
{
    DocumentParts parts;
    parts.compact = compact;
    // The project object as it stands in the envelope, one level in; the
    // models written straight from the items.
    IndentedJsonWriter writer(compact);
    const int level = 1;
    const int inner = level + 1;
    writer.beginObject();
    writer.member("documents", inner, true);
    writer.writeArray(toJsonArray(m_documents), inner);
    writer.member("id", inner, false);
    writer.writeString(m_id);
    writer.member("mappings", inner, false);
    writer.writeArray(toJsonArray(m_mappings), inner);
    writer.member("models", inner, false);
    writer.writeItems(itemsInIdOrder(m_models), inner, eventpump::step);
    writer.member("name", inner, false);
    writer.writeString(m_name);
    writer.endObject(level);
    parts.data = writer.finish();

    parts.diagrams = storedDiagramContents();
    return parts;
}

QByteArray ProjectItem::documentText(const DocumentParts& parts)
{
    // The envelope's keys in the order toDocumentJson's object keeps them.
    Q_ASSERT(!parts.compact);
    IndentedJsonWriter writer;
    writer.beginObject();
    writer.member("data", 1, true);
    writer.append(parts.data.constData(), parts.data.size());
    writer.member("diagrams", 1, false);
    writer.writeArray(parts.diagrams, 1);
    writer.member("type", 1, false);
    writer.writeString(QStringLiteral("quill-project"));
    writer.member("version", 1, false);
    writer.writeString(QStringLiteral("2.0"));
    writer.endObject(0);
    writer.append("\n", 1);
    return writer.finish();
}

bool ProjectItem::isProjectJson(const QJsonObject& root)
{
    return readString(root, QLatin1String("type")) == QLatin1String("quill-project")
        && root.contains(QLatin1String("data"));
}

void ProjectItem::fromJson(const QJsonObject& object)
{
    readId(object, m_id);
    m_name = readString(object, QLatin1String("name"), m_name);

    readCollection(this, m_models, readArray(object, QLatin1String("models")));
    readCollection(this, m_mappings, readArray(object, QLatin1String("mappings")));
    readCollection(this, m_documents, readArray(object, QLatin1String("documents")));
}

bool ProjectItem::loadDocumentJson(const QJsonObject& root)
{
    if (!isProjectJson(root))
        return false;

    fromJson(readObject(root, QLatin1String("data")));

    // A diagram id is the key of its stored content, so it must be unique in
    // the whole project. Where models share one, the diagrams holding it are
    // taken in the order the writer lists them (models by id, diagrams by
    // name): the first keeps it and the others get fresh ids. The stored
    // contents under that id are handed out in the same order, so a file in
    // which two models shared a diagram id comes back with each content on
    // its own diagram.
    QHash<QString, QList<DiagramItem*>> holders;
    for (ModelItem* model : modelsInIdOrder()) {
        for (DiagramItem* diagram : model->diagrams()) {
            if (diagram)
                holders[diagram->id()].append(diagram);
        }
    }
    for (auto it = holders.begin(); it != holders.end(); ++it) {
        const QList<DiagramItem*>& sharing = it.value();
        for (qsizetype i = 1; i < sharing.size(); ++i) {
            if (ModelItem* owner = qobject_cast<ModelItem*>(sharing.at(i)->parent()))
                owner->changeDiagramId(it.key(), generateItemId());
        }
    }

    const QJsonArray contents = readArray(root, QLatin1String("diagrams"));
    if (contents.isEmpty())
        return true;
    ModelItem* const firstModel = m_models.isEmpty() ? nullptr : modelsInIdOrder().value(0);
    QHash<QString, qsizetype> handedOut;
    for (const QJsonValue& element : contents) {
        QJsonObject content = element.toObject();
        const QString id = readString(content, QLatin1String("id"));
        if (id.isEmpty())
            continue;
        QList<DiagramItem*>& sharing = holders[id];
        const qsizetype turn = handedOut[id]++;
        DiagramItem* diagram = sharing.value(turn);
        if (!diagram) {
            // A content no diagram of the models names: it becomes a diagram
            // of the first model, under a fresh id when its id is taken.
            if (!firstModel)
                continue;
            diagram = firstModel->ensureDiagram(sharing.isEmpty() && !findDiagram(id) ? id : generateItemId());
            diagram->setName(readString(content, QLatin1String("name"), QStringLiteral("Diagram")));
            sharing.append(diagram);
        }
        content.remove(QLatin1String("id"));
        diagram->setData(content);
    }
    return true;
}
