#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

class IndentedJsonWriter;
class DiagramItem;
class DocumentItem;
class MappingItem;
class RelationshipItem;
class SequenceItem;
class TableItem;
class ViewItem;

// One data model of a project, bound to a SQL dialect: seven collections of
// items (tables, views, relationships, sequences, diagrams, mappings,
// documents), each keyed by the id an item had when it was filed.
//
// The model is a passive container: it sends no signals and keeps no
// cross-references between its collections (removing a table leaves the
// relationships naming it alone). Look-ups and removals compare ids exactly.
// Lists are built anew on every call, sorted by name with
// QString::localeAwareCompare (then by id, so the order is repeatable).
// Removed items leave the collection at once and are destroyed when control
// returns to the event loop; items replaced by fromJson are destroyed at once.
class ModelItem : public QObject
{
    Q_OBJECT
public:
    explicit ModelItem(QObject* parent = nullptr);

    QString id() const { return m_id; }
    // A new id; the diagrams that named the old one as their model follow.
    void setId(const QString& id);
    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    // The dialect text as chosen, normally a canonical dialect name; held
    // verbatim.
    QString dialect() const { return m_dialect; }
    void setDialect(const QString& dialect) { m_dialect = dialect; }
    QString description() const { return m_description; }
    void setDescription(const QString& description) { m_description = description; }

    TableItem* table(const QString& id) const;
    ViewItem* view(const QString& id) const;
    RelationshipItem* relationship(const QString& id) const;
    DiagramItem* diagram(const QString& id) const;
    MappingItem* mapping(const QString& id) const;

    QList<TableItem*> tables() const;
    QList<ViewItem*> views() const;
    QList<RelationshipItem*> relationships() const;
    QList<SequenceItem*> sequences() const;
    QList<DiagramItem*> diagrams() const;
    QList<MappingItem*> mappings() const;
    QList<DocumentItem*> documents() const;  // by file name

    // The item filed under id, created under exactly that id (empty included)
    // when there is none. A new diagram gets the model's id as its model id.
    TableItem* ensureTable(const QString& id);
    ViewItem* ensureView(const QString& id);
    RelationshipItem* ensureRelationship(const QString& id);
    DiagramItem* ensureDiagram(const QString& id);

    // A new item under a fresh id, with default fields (no name).
    TableItem* addTable();
    ViewItem* addView();
    RelationshipItem* addRelationship();
    DiagramItem* addDiagram();
    MappingItem* addMapping();

    void removeTable(const QString& id);
    void removeView(const QString& id);
    void removeRelationship(const QString& id);
    void removeDiagram(const QString& id);
    // Files the diagram now under id newId (which the caller makes sure no
    // other diagram of the model holds); nothing for an unknown id.
    void changeDiagramId(const QString& id, const QString& newId);
    void removeMapping(const QString& id);

    // "Diagram %1" with the smallest n from 1 that no diagram of the model
    // bears (exact comparison).
    QString uniqueDiagramName() const;
    // prefix + the smallest n from 1 that is not a view name (prefix starting
    // with "view") or a table name (any other prefix), ignoring case.
    QString uniqueObjectName(const QString& prefix) const;

    // The model object; every array in ascending id order ignoring case.
    // Diagram contents are not part of it.
    QJsonObject toJson() const;
    // The text of toJson() at level, written straight into writer.
    void writeJson(IndentedJsonWriter& writer, int level) const;
    // Replaces name, dialect, description and all seven collections; the id
    // only when "id" is a string. Diagrams read here have empty content, and
    // those without a model id get this model's id.
    void fromJson(const QJsonObject& object);

private:
    QString m_id;
    QString m_name;
    QString m_dialect;
    QString m_description;
    QHash<QString, TableItem*> m_tables;
    QHash<QString, ViewItem*> m_views;
    QHash<QString, RelationshipItem*> m_relationships;
    QHash<QString, SequenceItem*> m_sequences;
    QHash<QString, DiagramItem*> m_diagrams;
    QHash<QString, MappingItem*> m_mappings;
    QHash<QString, DocumentItem*> m_documents;
};
