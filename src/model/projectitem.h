#pragma once

#include <QHash>
#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

class DiagramItem;
class DocumentItem;
class MappingItem;
class ModelItem;

// The root of a project's persistent data: the models and the project-level
// mappings and documents, each keyed by id. Also reads and writes the project
// file, the envelope
//   {"version": "2.0", "type": "quill-project", "data": <project object>,
//    "diagrams": [<diagram JSON of every diagram, with its "id">]}.
//
// Where a rule needs "the first" model, models are taken in ascending id
// order (ignoring case), so that results and written files do not depend on
// hash order.
class ProjectItem : public QObject
{
    Q_OBJECT
public:
    // A new project: fresh id, name "Untitled Project", no models.
    explicit ProjectItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    ModelItem* model(const QString& id) const;
    // A model whose name equals name ignoring case (no trimming), or null.
    ModelItem* modelByName(const QString& name) const;
    // The diagram with that id in any model, or null.
    DiagramItem* findDiagram(const QString& id) const;
    // A project-level mapping by id, or null.
    MappingItem* mapping(const QString& id) const;

    // A new model under its fresh id; the caller names it and sets its dialect.
    ModelItem* addModel();
    MappingItem* addMapping();
    // Takes the item out at once and destroys it when control returns to the
    // event loop; nothing happens for an unknown id.
    void removeModel(const QString& id);
    void removeMapping(const QString& id);

    // Sorted by name with QString::localeAwareCompare.
    QList<ModelItem*> models() const;
    QList<MappingItem*> mappings() const;

    // "Model %1" with the smallest n from 1 that no model bears (exact
    // comparison).
    QString uniqueModelName() const;

    // The project object {"id", "name", "models", "mappings", "documents"},
    // arrays in ascending id order ignoring case.
    QJsonObject toJson() const;
    // The project file envelope.
    QJsonObject toDocumentJson() const;
    // The project file in two parts: the text of the project object ("data")
    // and the stored diagram contents. Parts made for the file hold the text
    // as it stands in the file; parts made for comparing only hold it
    // compact (a third of the bytes of a large project). Parts of one form
    // are equal exactly when their files are.
    struct DocumentParts
    {
        QByteArray data;
        QJsonArray diagrams;
        bool compact = false;
        bool operator==(const DocumentParts& other) const
        {
            return compact == other.compact && data == other.data && diagrams == other.diagrams;
        }
        bool operator!=(const DocumentParts& other) const { return !(*this == other); }
    };
    DocumentParts documentParts(bool compact = false) const;
    // The file text of parts made for the file, byte for byte
    // toIndentedJson(toDocumentJson()).
    static QByteArray documentText(const DocumentParts& parts);
    // True when "type" is a string equal to "quill-project" and the root has
    // "data" (with any value).
    static bool isProjectJson(const QJsonObject& root);
    // Replaces every model, mapping and document; the id and name only when
    // the object holds them as strings.
    void fromJson(const QJsonObject& object);
    // Replaces the project's content from a project file root and fills in
    // each diagram's stored content. Returns false, leaving the project
    // untouched, when the root is not a project file.
    bool loadDocumentJson(const QJsonObject& root);

private:
    // The stored content of every diagram with its id, models in id order.
    QJsonArray storedDiagramContents() const;
    QList<ModelItem*> modelsInIdOrder() const;

    QString m_id;
    QString m_name;
    QHash<QString, ModelItem*> m_models;
    QHash<QString, MappingItem*> m_mappings;
    QHash<QString, DocumentItem*> m_documents;
};
