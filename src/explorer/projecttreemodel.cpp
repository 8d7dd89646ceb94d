#include "explorer/projecttreemodel.h"

#include "explorer/explorerkinds.h"
#include "model/diagramitem.h"
#include "model/documentitem.h"
#include "model/eventpump.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/sequenceitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <QFont>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QSet>

#include <vector>

using namespace ExplorerKind;

namespace {

QString kindOf(const QStandardItem* item)
{
    return item->data(KindRole).toString();
}

QString idOf(const QStandardItem* item)
{
    return item->data(IdRole).toString();
}

QString orDefault(const QString& name, const QString& fallback)
{
    return name.isEmpty() ? fallback : name;
}

// Calls visit(item) for every row below root (root excluded) in pre-order,
// descending through the children of column 0 only.
template <typename Visit>
void forEachRowPreOrder(QStandardItem* root, Visit visit)
{
    if (!root)
        return;
    std::vector<QStandardItem*> stack;
    for (int row = root->rowCount() - 1; row >= 0; --row)
        stack.push_back(root->child(row, 0));
    while (!stack.empty()) {
        QStandardItem* item = stack.back();
        stack.pop_back();
        if (!item)
            continue;
        visit(item);
        for (int row = item->rowCount() - 1; row >= 0; --row)
            stack.push_back(item->child(row, 0));
    }
}

} // namespace

ProjectTreeModel::ProjectTreeModel(QObject* parent)
    : QStandardItemModel(parent)
{
    setColumnCount(1);

    // Any change of the rows' structure may leave the index pointing at rows
    // that moved or no longer exist; it is made again on the next look-up.
    const auto drop = [this] { invalidateIndex(); };
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, drop);
    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this, drop);
    connect(this, &QAbstractItemModel::rowsInserted, this, drop);
    connect(this, &QAbstractItemModel::rowsAboutToBeMoved, this, drop);
    connect(this, &QAbstractItemModel::columnsAboutToBeRemoved, this, drop);
    connect(this, &QAbstractItemModel::columnsInserted, this, drop);
    connect(this, &QAbstractItemModel::columnsAboutToBeMoved, this, drop);
    connect(this, &QAbstractItemModel::layoutAboutToBeChanged, this, drop);
    connect(this, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(KindRole) || roles.contains(IdRole))
                    noteKeysChanged(topLeft, bottomRight);
            });
}

void ProjectTreeModel::noteKeysChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (!m_indexValid)
        return;
    // A row renamed or given another id is indexed under its new key, when
    // no other row has that key; its old key still leads to it until a
    // look-up finds the row no longer matching and makes the index anew.
    // Anything else makes the index anew on the next look-up.
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.parent() != bottomRight.parent()
        || topLeft.column() != 0 || bottomRight.column() != 0) {
        invalidateIndex();
        return;
    }
    for (const QStandardItem* p = itemFromIndex(topLeft.parent()); p; p = p->parent()) {
        if (p->column() != 0) {
            invalidateIndex();
            return;
        }
    }
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        QStandardItem* item = itemFromIndex(topLeft.sibling(row, 0));
        if (!item) {
            invalidateIndex();
            return;
        }
        RowKey key(kindOf(item), idOf(item));
        const auto known = m_index.first.constFind(key);
        if (known != m_index.first.cend() && known.value() == item)
            continue;
        if (known != m_index.first.cend() || m_index.later.contains(key)) {
            invalidateIndex();
            return;
        }
        m_index.first.insert(std::move(key), item);
    }
}

ProjectTreeModel::~ProjectTreeModel() = default;

QVariant ProjectTreeModel::data(const QModelIndex& index, int role) const
{
    const QVariant base = QStandardItemModel::data(index, role);
    if (role != Qt::DisplayRole || !index.isValid() || !index.model())
        return base;
    const QStandardItem* item = itemFromIndex(index);
    if (!item || kindOf(item) != Model)
        return base;
    const QString name = base.toString();
    const QString dialect = item->data(DialectRole).toString();
    if (name.isEmpty() || dialect.isEmpty())
        return base;
    return QString(name + QLatin1String(" (") + dialect + QLatin1Char(')'));
}

QStringList ProjectTreeModel::mimeTypes() const
{
    return {MimeType};
}

QByteArray ProjectTreeModel::dragPayload(const QModelIndexList& indexes)
{
    QJsonArray items;
    QSet<QString> seen;
    for (const QModelIndex& index : indexes) {
        const QString kind = index.data(KindRole).toString();
        const QString id = index.data(IdRole).toString();
        if (!isDraggable(kind) || id.isEmpty())
            continue;
        const QString key = kind + QLatin1Char(':') + id;
        if (seen.contains(key))
            continue;
        seen.insert(key);
        items.append(QJsonObject{{QStringLiteral("kind"), kind}, {QStringLiteral("id"), id}});
    }
    if (items.isEmpty())
        return QByteArray();
    return QJsonDocument(QJsonObject{{QStringLiteral("items"), items}}).toJson(QJsonDocument::Compact);
}

QMimeData* ProjectTreeModel::mimeData(const QModelIndexList& indexes) const
{
    const QByteArray payload = dragPayload(indexes);
    if (payload.isEmpty())
        return nullptr;
    auto* mime = new QMimeData;
    mime->setData(MimeType, payload);
    return mime;
}

Qt::DropActions ProjectTreeModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

Qt::ItemFlags ProjectTreeModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = QStandardItemModel::flags(index);
    if (!index.isValid())
        return result;
    result.setFlag(Qt::ItemIsDragEnabled, isDraggable(index.data(KindRole).toString()));
    return result;
}

QStandardItem* ProjectTreeModel::makeItem(const QString& text, const QString& kind, const QString& id,
                                          bool editable)
{
    auto* item = new QStandardItem(text);
    Qt::ItemFlags itemFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable)
        itemFlags |= Qt::ItemIsEditable;
    if (isDraggable(kind))
        itemFlags |= Qt::ItemIsDragEnabled;
    item->setFlags(itemFlags);
    item->setData(kind, KindRole);
    item->setData(id, IdRole);
    return item;
}

bool ProjectTreeModel::isBold(const QStandardItem* item)
{
    return item && item->font().weight() > 500;
}

void ProjectTreeModel::setBold(QStandardItem* item, bool bold)
{
    if (!item)
        return;
    // Only the weight is set on the row's font, so the view's own family and
    // size still apply when the row is painted.
    QFont font = item->font();
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    item->setFont(font);
}

void ProjectTreeModel::rebuild(const ProjectItem* project, const ModelItem* currentModel,
                               const DiagramItem* currentDiagram)
{
    const qsizetype indexedBefore = m_index.first.size();
    clear();
    setColumnCount(1);
    if (!project)
        return;

    RowIndex index;
    index.first.reserve(indexedBefore);
    const auto row = [&index](const QString& text, const QString& kind, const QString& id, bool editable) {
        QStandardItem* item = makeItem(text, kind, id, editable);
        index.add(item, kind, id);
        return item;
    };
    // A folder row followed by one row per object, appended in one step.
    const auto folder = [&](QStandardItem* modelRow, const QString& caption, const QString& folderKind,
                            const auto& objects, const QString& kind, bool editable, auto textOf,
                            const QObject* bold = nullptr) {
        QStandardItem* folderRow = row(caption, folderKind, QString(), false);
        QList<QStandardItem*> rows;
        rows.reserve(objects.size());
        for (const auto* object : objects) {
            if (!object)
                continue;
            QStandardItem* objectRow = row(textOf(object), kind, object->id(), editable);
            eventpump::step();
            if (bold && object == bold)
                setBold(objectRow, true);
            rows.append(objectRow);
        }
        if (!rows.isEmpty())
            folderRow->appendRows(rows);
        modelRow->appendRow(folderRow);
    };

    QStandardItem* projectRow = row(project->name(), Project, project->id(), true);
    QList<QStandardItem*> modelRows;
    for (const ModelItem* model : project->models()) {
        if (!model)
            continue;
        QStandardItem* modelRow =
            row(orDefault(model->name(), QStringLiteral("Model")), Model, model->id(), true);
        modelRow->setData(model->dialect(), DialectRole);
        if (model == currentModel)
            setBold(modelRow, true);
        modelRows.append(modelRow);

        folder(modelRow, QStringLiteral("Tables"), Tables, model->tables(), Table, true,
               [](const TableItem* t) { return t->name(); });
        folder(modelRow, QStringLiteral("Views"), Views, model->views(), View, true,
               [](const ViewItem* v) { return v->name(); });
        folder(modelRow, QStringLiteral("Relationships"), Relationships, model->relationships(), Relationship,
               false, [](const RelationshipItem* r) { return r->displayName(); });
        folder(modelRow, QStringLiteral("Sequences"), Sequences, model->sequences(), Sequence, false,
               [](const SequenceItem* s) { return orDefault(s->name(), QStringLiteral("Sequence")); });
        folder(modelRow, QStringLiteral("Diagrams"), Diagrams, model->diagrams(), Diagram, true,
               [](const DiagramItem* d) { return orDefault(d->name(), QStringLiteral("Diagram")); },
               currentDiagram);
        folder(modelRow, QStringLiteral("Mappings"), Mappings, model->mappings(), Mapping, false,
               [](const MappingItem* m) { return orDefault(m->name(), QStringLiteral("Mapping")); });
        folder(modelRow, QStringLiteral("Documents"), Documents, model->documents(), Document, false,
               [](const DocumentItem* d) { return orDefault(d->fileName(), QStringLiteral("Document")); });
    }
    if (!modelRows.isEmpty())
        projectRow->appendRows(modelRows);

    // One insertion for the whole tree: views and proxies see a single new
    // row instead of thousands.
    invisibleRootItem()->appendRow(projectRow);
    m_index = std::move(index);
    m_indexValid = true;
}

void ProjectTreeModel::updateCurrentMarkers(const ModelItem* currentModel, const DiagramItem* currentDiagram)
{
    forEachRowPreOrder(invisibleRootItem(), [&](QStandardItem* item) {
        const QString kind = kindOf(item);
        bool current = false;
        if (kind == Model)
            current = currentModel && idOf(item) == currentModel->id();
        else if (kind == Diagram)
            current = currentDiagram && idOf(item) == currentDiagram->id();
        if (isBold(item) != current)
            setBold(item, current);
    });
}

QStandardItem* ProjectTreeModel::findItemByWalk(QStandardItem* parent, const QString& kind, const QString& id)
{
    if (!parent)
        return nullptr;
    const bool isRoot = parent->model() && parent == parent->model()->invisibleRootItem();
    if (!isRoot && kindOf(parent) == kind && idOf(parent) == id)
        return parent;
    QStandardItem* found = nullptr;
    forEachRowPreOrder(parent, [&](QStandardItem* item) {
        if (!found && kindOf(item) == kind && idOf(item) == id)
            found = item;
    });
    return found;
}

QStandardItem* ProjectTreeModel::findItem(const QString& kind, const QString& id) const
{
    return findItem(invisibleRootItem(), kind, id);
}

QStandardItem* ProjectTreeModel::findItem(QStandardItem* parent, const QString& kind, const QString& id) const
{
    if (!parent)
        return nullptr;
    QStandardItem* root = invisibleRootItem();
    if (parent != root) {
        // The index covers the rows reachable through column 0 only; a start
        // outside that chain (another model, another column) is walked.
        if (parent->model() != this)
            return findItemByWalk(parent, kind, id);
        for (const QStandardItem* p = parent; p; p = p->parent()) {
            if (p->column() != 0)
                return findItemByWalk(parent, kind, id);
        }
        if (kindOf(parent) == kind && idOf(parent) == id)
            return parent;
    }

    ensureIndex();
    const RowKey key(kind, id);
    QStandardItem* first = m_index.first.value(key);
    if (first && (kindOf(first) != kind || idOf(first) != id)) {
        // Left behind by a change of the row's key (see noteKeysChanged).
        m_indexValid = false;
        ensureIndex();
        first = m_index.first.value(key);
    }
    if (!first || parent == root)
        return first;

    const auto isBelowParent = [parent](const QStandardItem* item) {
        for (const QStandardItem* p = item->parent(); p; p = p->parent()) {
            if (p == parent)
                return true;
        }
        return false;
    };
    if (isBelowParent(first))
        return first;
    const auto later = m_index.later.constFind(key);
    if (later == m_index.later.cend())
        return nullptr;
    for (QStandardItem* item : *later) {
        if (isBelowParent(item) && kindOf(item) == kind && idOf(item) == id)
            return item;
    }
    return nullptr;
}

void ProjectTreeModel::RowIndex::add(QStandardItem* item, const QString& kind, const QString& id)
{
    RowKey key(kind, id);
    auto it = first.find(key);
    if (it == first.end())
        first.insert(std::move(key), item);
    else
        later[key].append(item);
}

void ProjectTreeModel::RowIndex::clear()
{
    first.clear();
    later.clear();
}

void ProjectTreeModel::invalidateIndex()
{
    m_indexValid = false;
    m_index.clear();
}

void ProjectTreeModel::ensureIndex() const
{
    if (m_indexValid)
        return;
    m_index.clear();
    forEachRowPreOrder(invisibleRootItem(),
                       [this](QStandardItem* item) { m_index.add(item, kindOf(item), idOf(item)); });
    m_indexValid = true;
}
