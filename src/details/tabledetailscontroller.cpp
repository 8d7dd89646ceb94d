#include "details/tabledetailscontroller.h"

#include "details/detailsgridmodel.h"
#include "details/detailslookups.h"
#include "details/dialects.h"
#include "details/textcombodelegate.h"
#include "diagram/entityitem.h"
#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/indexitem.h"
#include "model/mappingitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/relationshipitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include "ui_mainwindow.h"

#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>
#include <utility>

TableDetailsController::TableDetailsController(Ui::MainWindow* ui, QObject* parent)
    : QObject(parent)
    , ui(ui)
{
    physicalModel = new DetailsGridModel(this);
    columnsModel = new DetailsGridModel(this);
    constraintsModel = new DetailsGridModel(this);
    constraintColumnsModel = new DetailsGridModel(this);
    indexesModel = new DetailsGridModel(this);
    indexColumnsModel = new DetailsGridModel(this);
    governanceModel = new DetailsGridModel(this);
    mappingsModel = new DetailsGridModel(this);

    if (ui) {
        ui->tableViewPhysical->setModel(physicalModel);
        ui->tableViewColumns->setModel(columnsModel);
        ui->tableViewConstraints->setModel(constraintsModel);
        ui->tableViewConsColumns->setModel(constraintColumnsModel);
        ui->tableViewIndexes->setModel(indexesModel);
        ui->tableViewIndColumns->setModel(indexColumnsModel);
        ui->tableView->setModel(governanceModel);
        ui->treeView->setModel(mappingsModel);

        for (QTableView* grid : {ui->tableViewPhysical, ui->tableViewColumns, ui->tableViewConstraints,
                                 ui->tableViewConsColumns, ui->tableViewIndexes, ui->tableViewIndColumns,
                                 ui->tableView})
            configureTableView(grid);

        QTreeView* tree = ui->treeView;
        tree->setRootIsDecorated(false);
        tree->setItemsExpandable(false);
        tree->setAlternatingRowColors(true);
        tree->setSelectionBehavior(QAbstractItemView::SelectRows);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->setWordWrap(false);
        tree->setHeaderHidden(false);
        tree->header()->setStretchLastSection(true);
        tree->header()->setHighlightSections(false);
        tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                              | QAbstractItemView::EditKeyPressed);

        createDelegates();
        connectForm();
    }
    refresh();
}

void TableDetailsController::configureTableView(QTableView* grid)
{
    if (!grid)
        return;
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setAlternatingRowColors(true);
    grid->setWordWrap(false);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
                          | QAbstractItemView::EditKeyPressed);
}

void TableDetailsController::createDelegates()
{
    const auto provider = [this](QStringList (TableDetailsController::*items)(const QModelIndex&) const) {
        return [this, items](const QModelIndex& index) { return (this->*items)(index); };
    };
    const auto fixed = [](const QStringList& items) { return [items](const QModelIndex&) { return items; }; };

    ui->tableViewColumns->setItemDelegateForColumn(
        1, new TextComboDelegate(ui->tableViewColumns, provider(&TableDetailsController::dataTypeItems), true));
    ui->tableViewConstraints->setItemDelegateForColumn(
        1, new TextComboDelegate(ui->tableViewConstraints,
                                 fixed({QStringLiteral("Primary Key"), QStringLiteral("Foreign Key"),
                                        QStringLiteral("Unique"), QStringLiteral("Check")}),
                                 false));
    ui->tableViewIndexes->setItemDelegateForColumn(
        1, new TextComboDelegate(ui->tableViewIndexes,
                                 fixed({QStringLiteral("Unique"), QStringLiteral("Non-unique")}), false));
    ui->tableViewIndColumns->setItemDelegateForColumn(
        0, new TextComboDelegate(ui->tableViewIndColumns, provider(&TableDetailsController::tableColumnItems),
                                 false));
    ui->tableViewConsColumns->setItemDelegate(new TextComboDelegate(
        ui->tableViewConsColumns, provider(&TableDetailsController::constraintColumnItems), false));
    ui->treeView->setItemDelegate(
        new TextComboDelegate(ui->treeView, provider(&TableDetailsController::mappingCellItems), true));
}

void TableDetailsController::connectForm()
{
    connect(ui->lineEditSchema, &QLineEdit::editingFinished, this, &TableDetailsController::onSchemaEdited);
    connect(ui->lineEditTable, &QLineEdit::editingFinished, this, &TableDetailsController::onNameEdited);
    ui->lineEditTable->installEventFilter(this);
    connect(ui->plainTextEditTableComments, &QPlainTextEdit::textChanged, this,
            &TableDetailsController::onCommentsEdited);
    connect(ui->plainTextEdit, &QPlainTextEdit::textChanged, this, &TableDetailsController::onColumnCommentChanged);

    connect(physicalModel, &QStandardItemModel::itemChanged, this,
            &TableDetailsController::onPhysicalPropertyChanged);
    connect(columnsModel, &QStandardItemModel::itemChanged, this, &TableDetailsController::onColumnItemChanged);
    connect(governanceModel, &QStandardItemModel::itemChanged, this,
            &TableDetailsController::onGovernanceItemChanged);

    const auto onCurrentRow = [this](QAbstractItemView* grid, std::function<void()> first) {
        connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, first] {
            if (first)
                first();
            if (!refreshing)
                updateActionStates();
        });
    };
    onCurrentRow(ui->tableViewColumns, [this] { syncColumnComment(); });
    onCurrentRow(ui->tableViewConsColumns, nullptr);
    onCurrentRow(ui->tableViewIndColumns, nullptr);
    onCurrentRow(ui->treeView, nullptr);
}

// ============================================================ context

void TableDetailsController::setProject(ProjectItem* project)
{
    this->project = project;
}

void TableDetailsController::setDefaultDialect(const QString& dialect)
{
    defaultDialect = dialect;
}

void TableDetailsController::setEntityResolver(std::function<EntityItem*(const QString& id)> resolver)
{
    entityResolver = std::move(resolver);
}

bool TableDetailsController::isUpdating() const
{
    return updating;
}

QString TableDetailsController::currentDialect() const
{
    if (model && !model->dialect().isEmpty())
        return model->dialect();
    return defaultDialect;
}

ProjectItem* TableDetailsController::shownProject() const
{
    return project;
}

ModelItem* TableDetailsController::shownModel() const
{
    return model;
}

TableItem* TableDetailsController::shownTable() const
{
    return table;
}

ViewItem* TableDetailsController::shownView() const
{
    return view;
}

EntityItem* TableDetailsController::shownEntity() const
{
    return entity;
}

void TableDetailsController::showTable(ModelItem* model, TableItem* table, EntityItem* entity)
{
    show(model, table, nullptr, entity);
}

void TableDetailsController::showView(ModelItem* model, ViewItem* view, EntityItem* entity)
{
    show(model, nullptr, view, entity);
}

void TableDetailsController::clear()
{
    show(nullptr, nullptr, nullptr, nullptr);
}

void TableDetailsController::show(ModelItem* model, TableItem* table, ViewItem* view, EntityItem* entity)
{
    this->model = model;
    this->table = table;
    this->view = table ? nullptr : view;
    this->entity = entity;
    refresh();
}

// ============================================================ refresh

void TableDetailsController::refresh()
{
    if (!ui || refreshing)
        return;
    mappingsChangedDuringRefresh = false;
    updating = true;
    refreshing = true;
    ++refreshes;

    const auto remembered = [](QAbstractItemView* grid, QString& pending) {
        QString id = std::exchange(pending, QString());
        return id.isEmpty() ? currentRowId(grid) : id;
    };
    const QString columnId = remembered(ui->tableViewColumns, pendingColumnId);
    const QString constraintId = remembered(ui->tableViewConstraints, pendingConstraintId);
    const QString indexId = remembered(ui->tableViewIndexes, pendingIndexId);
    const QString mappingId = remembered(ui->treeView, pendingMappingId);

    // While the same object stays shown, every grid keeps its scroll
    // position and column widths through the rebuild; the mappings list is
    // the project's and always keeps them.
    const QString shownObject = table ? QLatin1String("table:") + table->id()
                                      : (view ? QLatin1String("view:") + view->id() : QString());
    const bool sameObject = shownObject == fittedObject;
    const QList<GridState> grids = gridStates(sameObject);

    syncEntityKeysFromConstraints();
    syncEntityForeignKeysFromConstraints();

    refreshGeneral();
    refreshPhysicalProperties();
    refreshColumns();
    refreshGovernance();

    selectRowById(ui->tableViewColumns, columnId);
    selectRowById(ui->tableViewConstraints, constraintId);
    selectRowById(ui->tableViewIndexes, indexId);

    if (!mappingId.isEmpty()) {
        for (int row = 0; row < mappingsModel->rowCount(); ++row) {
            const QStandardItem* item = mappingsModel->item(row, 0);
            if (item && item->data(IdRole).toString() == mappingId) {
                QItemSelectionModel* selection = ui->treeView->selectionModel();
                const QSignalBlocker blocker(selection);
                selection->setCurrentIndex(item->index(), QItemSelectionModel::ClearAndSelect
                                                              | QItemSelectionModel::Rows);
                break;
            }
        }
    }

    syncColumnComment();
    enableWidgets();

    restoreGridStates(grids);
    if (!sameObject) {
        fittedObject = shownObject;
        fitColumnWidths();
    }

    updating = false;
    refreshing = false;
    if (mappingsChangedDuringRefresh) {
        mappingsChangedDuringRefresh = false;
        QTimer::singleShot(0, this, [this] {
            if (!refreshing)
                emit mappingsChanged();
        });
    }
}

void TableDetailsController::enableWidgets()
{
    const bool hasTable = table;
    const bool hasObject = hasTable || view;
    ui->lineEditSchema->setEnabled(hasObject);
    ui->lineEditTable->setEnabled(hasObject);
    ui->plainTextEditTableComments->setEnabled(hasObject);
    ui->tableViewPhysical->setEnabled(hasTable);
    ui->tableViewColumns->setEnabled(hasObject);
    ui->tableViewConstraints->setEnabled(hasTable);
    ui->tableViewConsColumns->setEnabled(hasTable);
    updateActionStates();
    ui->tableViewIndexes->setEnabled(hasTable);
    ui->tableViewIndColumns->setEnabled(hasTable);
    ui->tableView->setEnabled(hasTable);
    ui->treeView->setEnabled(project);
}

namespace {

QHeaderView* headerOf(QAbstractItemView* grid)
{
    if (auto* table = qobject_cast<QTableView*>(grid))
        return table->horizontalHeader();
    if (auto* tree = qobject_cast<QTreeView*>(grid))
        return tree->header();
    return nullptr;
}

} // namespace

QList<TableDetailsController::GridState> TableDetailsController::gridStates(bool allGrids) const
{
    QList<GridState> states;
    QList<QAbstractItemView*> grids{ui->treeView};
    if (allGrids)
        grids << ui->tableViewPhysical << ui->tableViewColumns << ui->tableViewConstraints
              << ui->tableViewConsColumns << ui->tableViewIndexes << ui->tableViewIndColumns << ui->tableView;
    for (QAbstractItemView* grid : std::as_const(grids)) {
        GridState state{grid, grid->horizontalScrollBar()->value(), grid->verticalScrollBar()->value(), {}};
        if (QHeaderView* header = headerOf(grid)) {
            for (int section = 0; section < header->count(); ++section)
                state.widths.append(header->sectionSize(section));
        }
        states.append(state);
    }
    return states;
}

void TableDetailsController::restoreGridStates(const QList<GridState>& states)
{
    for (const GridState& state : states) {
        QHeaderView* header = headerOf(state.grid);
        // A grid whose columns changed (a constraint of another kind) keeps
        // the widths of the new columns.
        if (header && header->count() == state.widths.size()) {
            const int last = header->stretchLastSection() ? header->count() - 1 : header->count();
            for (int section = 0; section < last; ++section)
                header->resizeSection(section, state.widths.at(section));
        }
        if (state.horizontal == 0 && state.vertical == 0)
            continue;
        // The scroll ranges follow the new rows only once laid out.
        state.grid->doItemsLayout();
        state.grid->horizontalScrollBar()->setValue(state.horizontal);
        state.grid->verticalScrollBar()->setValue(state.vertical);
    }
}

void TableDetailsController::fitColumnWidths()
{
    // Long names must not push the other columns out of sight.
    constexpr int widest = 320;
    const QList<QAbstractItemView*> grids{ui->tableViewPhysical,    ui->tableViewColumns,  ui->tableViewConstraints,
                                          ui->tableViewConsColumns, ui->tableViewIndexes,  ui->tableViewIndColumns,
                                          ui->tableView,            ui->treeView};
    for (QAbstractItemView* grid : grids) {
        QHeaderView* header = headerOf(grid);
        // The last column stretches over what is left.
        for (int column = 0; column + 1 < header->count(); ++column) {
            header->resizeSection(column, std::min(widest, std::max(header->sectionSizeHint(column),
                                                                    grid->sizeHintForColumn(column))));
        }
    }
}

void TableDetailsController::scheduleRefresh()
{
    if (refreshPending)
        return;
    refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        refreshPending = false;
        refresh();
    });
}

void TableDetailsController::whileUpdating(const std::function<void()>& fn)
{
    const bool was = std::exchange(updating, true);
    fn();
    updating = was;
}

// ============================================================ utilities

EntityItem* TableDetailsController::entityForTable(const QString& tableId) const
{
    if (tableId.isEmpty())
        return nullptr;
    if (entity && entity->id() == tableId)
        return entity;
    return entityResolver ? entityResolver(tableId) : nullptr;
}

QString TableDetailsController::currentRowId(QAbstractItemView* grid)
{
    if (!grid || !grid->model())
        return QString();
    const QModelIndex current = grid->currentIndex();
    if (!current.isValid())
        return QString();
    return current.siblingAtColumn(0).data(IdRole).toString();
}

void TableDetailsController::selectRowById(QTableView* grid, const QString& id)
{
    if (!grid || !grid->model() || !grid->selectionModel())
        return;
    QAbstractItemModel* itemModel = grid->model();
    QItemSelectionModel* selection = grid->selectionModel();
    if (itemModel->rowCount() == 0) {
        selection->clearSelection();
        return;
    }
    int row = 0;
    if (!id.isEmpty()) {
        for (int r = 0; r < itemModel->rowCount(); ++r) {
            if (itemModel->index(r, 0).data(IdRole).toString() == id) {
                row = r;
                break;
            }
        }
    }
    const QSignalBlocker blocker(selection);
    const QModelIndex index = itemModel->index(row, 0);
    selection->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    selection->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TableDetailsController::setLineTextIfNoFocus(QLineEdit* field, const QString& text)
{
    if (!field || field->hasFocus() || field->text() == text)
        return;
    const QSignalBlocker blocker(field);
    field->setText(text);
}

void TableDetailsController::setPlainTextIfNoFocus(QPlainTextEdit* field, const QString& text)
{
    if (!field || field->hasFocus() || field->toPlainText() == text)
        return;
    const QSignalBlocker blocker(field);
    field->setPlainText(text);
}

QStandardItem* TableDetailsController::makeItem(const QString& text, bool editable)
{
    auto* item = new QStandardItem(text);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable)
        flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    return item;
}

QStandardItem* TableDetailsController::makeCheckItem(bool on)
{
    auto* item = new QStandardItem();
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    return item;
}

int TableDetailsController::indexOfAttribute(EntityItem* entity, const QString& name)
{
    if (!entity || name.isEmpty() || entity->attributeCount() == 0)
        return -1;
    const int count = entity->attributeCount();
    for (int row = 0; row < count; ++row) {
        if (entity->attributeName(row) == name)
            return row;
    }
    for (int row = 0; row < count; ++row) {
        if (entity->attributeName(row).compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

QString TableDetailsController::cellText(QStandardItemModel* itemModel, int row, int column)
{
    const QStandardItem* item = itemModel ? itemModel->item(row, column) : nullptr;
    return item ? item->text() : QString();
}

ConstraintItem* TableDetailsController::currentConstraint() const
{
    if (!table || !ui)
        return nullptr;
    if (ConstraintItem* found = table->constraint(currentRowId(ui->tableViewConstraints)))
        return found;
    for (ConstraintItem* constraint : table->constraints()) {
        if (constraint)
            return constraint;
    }
    return nullptr;
}

IndexItem* TableDetailsController::currentIndexItem() const
{
    if (!table || !ui)
        return nullptr;
    if (IndexItem* found = table->index(currentRowId(ui->tableViewIndexes)))
        return found;
    for (IndexItem* index : table->indexes()) {
        if (index)
            return index;
    }
    return nullptr;
}

MappingItem* TableDetailsController::mappingAt(int row) const
{
    const QStandardItem* item = mappingsModel->item(row, 0);
    if (!item)
        return nullptr;
    return findMapping(project, item->data(OwnerRole).toString(), item->data(IdRole).toString());
}

QString TableDetailsController::relationshipIdForConstraint(ConstraintItem* constraint) const
{
    if (!model || !constraint || constraint->id().isEmpty())
        return QString();
    for (const RelationshipItem* relationship : model->relationships()) {
        if (relationship && relationship->constraintId() == constraint->id())
            return relationship->id();
    }
    return QString();
}

// ============================================================ entity mirroring

void TableDetailsController::syncEntityKeysFromConstraints()
{
    if (!table || !entity || entity->kind() == EntityItem::ViewKind)
        return;
    QSet<QString> primary;
    QSet<QString> unique;
    for (ConstraintItem* constraint : table->constraints()) {
        if (!constraint)
            continue;
        const int type = constraint->type();
        if (type != ConstraintItem::PrimaryKey && type != ConstraintItem::Unique)
            continue;
        for (const QString& columnId : constraint->columns()) {
            ColumnItem* column = table->column(columnId);
            if (!column)
                continue;
            if (type == ConstraintItem::PrimaryKey) {
                primary.insert(column->name());
                if (column->nullable())
                    column->setNullable(false);
            } else {
                unique.insert(column->name());
            }
        }
    }
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const QString name = entity->attributeName(row);
        entity->setAttributeKeyFlags(row, primary.contains(name), unique.contains(name));
    }
}

void TableDetailsController::syncEntityForeignKeysFromConstraints()
{
    if (!table || !entity || !model || entity->kind() == EntityItem::ViewKind)
        return;
    QHash<QString, QString> relationshipOfColumn;
    QSet<QString> relationshipIds;
    // One pass over the model's relationships instead of one per key.
    QHash<QString, QString> relationshipOfConstraint;
    for (const RelationshipItem* relationship : model->relationships()) {
        if (!relationship)
            continue;
        if (!relationship->constraintId().isEmpty() && !relationshipOfConstraint.contains(relationship->constraintId()))
            relationshipOfConstraint.insert(relationship->constraintId(), relationship->id());
        if (relationship->toTableId() == table->id())
            relationshipIds.insert(relationship->id());
    }
    for (const ConstraintItem* constraint : table->constraints()) {
        if (!constraint || constraint->type() != ConstraintItem::ForeignKey || constraint->id().isEmpty())
            continue;
        const QString relationshipId = relationshipOfConstraint.value(constraint->id());
        if (relationshipId.isEmpty())
            continue;
        relationshipIds.insert(relationshipId);
        for (const QString& columnId : constraint->columns()) {
            if (const ColumnItem* column = table->column(columnId))
                relationshipOfColumn.insert(column->name(), relationshipId);
        }
    }
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const auto mapped = relationshipOfColumn.constFind(entity->attributeName(row));
        if (mapped != relationshipOfColumn.constEnd()) {
            entity->setAttributeForeignKey(row, *mapped);
            continue;
        }
        const QString edgeId = entity->attributeFkEdgeId(row);
        if (!edgeId.isEmpty() && relationshipIds.contains(edgeId))
            entity->setAttributeForeignKey(row, QString());
    }
}

void TableDetailsController::syncColumnComment()
{
    if (!ui || ui->plainTextEdit->hasFocus())
        return;
    const ColumnItem* column = table ? table->column(currentRowId(ui->tableViewColumns)) : nullptr;
    ui->plainTextEdit->setEnabled(column);
    setPlainTextIfNoFocus(ui->plainTextEdit, column ? column->comment() : QString());
}

void TableDetailsController::onColumnCommentChanged()
{
    if (updating || !table)
        return;
    if (ColumnItem* column = table->column(currentRowId(ui->tableViewColumns)))
        column->setComment(ui->plainTextEdit->toPlainText());
}

void TableDetailsController::renameColumn(ColumnItem* column, const QString& newName)
{
    if (!column)
        return;
    const QString name = newName.trimmed();
    const QString oldName = column->name();
    if (name.isEmpty() || name == oldName) {
        scheduleRefresh();
        return;
    }
    auto* owner = qobject_cast<TableItem*>(column->parent());
    EntityItem* box = owner ? entityForTable(owner->id()) : nullptr;
    const int row = indexOfAttribute(box, oldName);
    if (row >= 0)
        whileUpdating([&] { box->setAttributeName(row, name); });
    else
        column->setName(name);
    scheduleRefresh();
}

void TableDetailsController::pushColumnTypeToEntity(ColumnItem* column)
{
    if (!table || !column)
        return;
    EntityItem* box = entityForTable(table->id());
    if (!box)
        return;
    const int row = indexOfAttribute(box, column->name());
    const QString type = column->displayType();
    if (row >= 0 && box->attributeType(row) != type)
        whileUpdating([&] { box->setAttributeType(row, type); });
}

// ============================================================ item lists

QStringList TableDetailsController::dataTypeItems(const QModelIndex&) const
{
    return dataTypesForDialect(currentDialect());
}

QStringList TableDetailsController::tableColumnItems(const QModelIndex&) const
{
    return columnNames(table);
}

QStringList TableDetailsController::constraintColumnItems(const QModelIndex& index) const
{
    const ConstraintItem* constraint = currentConstraint();
    if (!table || !constraint)
        return {};
    if (constraint->type() != ConstraintItem::ForeignKey)
        return index.column() == 2 ? columnNames(table) : QStringList();
    switch (index.column()) {
    case 2:
        return columnNames(table);
    case 4: {
        QStringList names;
        if (model) {
            for (const TableItem* candidate : model->tables()) {
                if (candidate)
                    names.append(candidate->name());
            }
        }
        return names;
    }
    case 5:
        return columnNames(findTableInProject(project, constraint->referencedTableId()));
    default:
        return {};
    }
}

QStringList TableDetailsController::mappingCellItems(const QModelIndex& index) const
{
    if (!project)
        return {};
    const int column = index.column();
    if (column == 0 || column == 3) {
        QStringList names;
        for (const ModelItem* candidate : project->models()) {
            if (candidate)
                names.append(candidate->name());
        }
        return names;
    }
    const int modelColumn = column < 3 ? 0 : 3;
    const ModelItem* owner = project->modelByName(index.siblingAtColumn(modelColumn).data().toString());
    if (!owner)
        return {};
    if (column == 1 || column == 4) {
        QStringList names;
        for (const TableItem* candidate : owner->tables()) {
            if (candidate)
                names.append(candidate->name());
        }
        return names;
    }
    const QString tableName = index.siblingAtColumn(modelColumn + 1).data().toString();
    return columnNames(findTableByName(owner, tableName));
}
