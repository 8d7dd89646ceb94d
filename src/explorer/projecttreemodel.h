#pragma once

#include <QHash>
#include <QList>
#include <QStandardItemModel>
#include <QString>

#include <utility>

class DiagramItem;
class ModelItem;
class ProjectItem;

// The item model behind the Model Explorer: one column of QStandardItem rows
// (the project, its models, seven folders per model and their objects), each
// carrying its kind, id and, for models, dialect (see explorerkinds.h).
//
// Model rows display as "name (dialect)" while their edit text stays the bare
// name; only table and view rows can be dragged, and a drag carries their
// (kind, id) pairs as compact JSON under ExplorerKind::MimeType.
//
// The tree is never edited row by row: rebuild() throws every row away and
// builds the project subtree detached before inserting it in one step. A
// (kind, id) -> row index made during the rebuild answers findItem(); any
// later change to the rows' structure, kinds or ids drops the index, and the
// next look-up walks the tree once to make it again, so answers always match
// a plain pre-order search.
class ProjectTreeModel : public QStandardItemModel
{
    Q_OBJECT
public:
    explicit ProjectTreeModel(QObject* parent = nullptr);
    ~ProjectTreeModel() override;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QStringList mimeTypes() const override;
    // Null when the indexes hold no table or view row with an id.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A new, parentless row: text, kind and id as given, editable as asked,
    // drag-enabled exactly for tables and views, never a drop target.
    static QStandardItem* makeItem(const QString& text, const QString& kind, const QString& id = QString(),
                                   bool editable = false);

    // The drag payload for these indexes (each (kind, id) once, in the given
    // order, tables and views with an id only); empty when nothing qualifies.
    static QByteArray dragPayload(const QModelIndexList& indexes);

    // Replaces every row by the tree of project: the project row, its models
    // in name order, each with the folders Tables, Views, Relationships,
    // Sequences, Diagrams, Mappings and Documents and their objects in name
    // order. currentModel's and currentDiagram's rows are bold. With no
    // project the model is left empty.
    void rebuild(const ProjectItem* project, const ModelItem* currentModel, const DiagramItem* currentDiagram);

    // Makes the rows of currentModel and currentDiagram bold and every other
    // model and diagram row normal, touching only rows that change.
    void updateCurrentMarkers(const ModelItem* currentModel, const DiagramItem* currentDiagram);

    // The first row in pre-order at or below parent whose kind and id equal
    // the given texts exactly; the invisible root itself never matches. Null
    // for a null parent or when nothing matches.
    QStandardItem* findItem(QStandardItem* parent, const QString& kind, const QString& id) const;
    QStandardItem* findItem(const QString& kind, const QString& id) const;

    // The same search by walking the rows; works on any item model's items.
    static QStandardItem* findItemByWalk(QStandardItem* parent, const QString& kind, const QString& id);

    static bool isBold(const QStandardItem* item);
    static void setBold(QStandardItem* item, bool bold);

private:
    using RowKey = std::pair<QString, QString>;  // (kind, id)

    struct RowIndex
    {
        QHash<RowKey, QStandardItem*> first;
        // Rows after the first one with the same key, in pre-order; empty
        // unless a file holds duplicate ids.
        QHash<RowKey, QList<QStandardItem*>> later;

        void add(QStandardItem* item, const QString& kind, const QString& id);
        void clear();
    };

    void invalidateIndex();
    void ensureIndex() const;
    void noteKeysChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    mutable RowIndex m_index;
    mutable bool m_indexValid = false;
};
