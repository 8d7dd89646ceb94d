#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QAbstractItemView;
class QLineEdit;
class QModelIndex;
class QPlainTextEdit;
class QStandardItem;
class QStandardItemModel;
class QTableView;

class ColumnItem;
class ConstraintItem;
class DetailsGridModel;
class EntityItem;
class IndexItem;
class MappingItem;
class ModelItem;
class ProjectItem;
class TableItem;
class ViewItem;

namespace Ui {
class MainWindow;
}

// Drives the details pane (General, Columns, Constraints, Indexes,
// Governance and Mappings tabs) of the selected table or view. The main
// window tells it which project is open, which dialect to assume and which
// table or view (with its entity on the canvas) to show. The controller
// writes the user's edits into the model items, mirrors names, types and key
// marks onto the entity, and reports through its signals what the main
// window must follow up itself.
//
// Grid rows are identified by the id in column 0 under Qt::UserRole + 1 (a
// column, constraint, index or mapping id; for a view's columns the entity
// row's name). Edits rebuild the pane through one deferred refresh per
// event-loop pass; a grid is never rebuilt inside its own itemChanged.
class TableDetailsController : public QObject
{
    Q_OBJECT
public:
    // Roles of the grid items.
    enum Role {
        IdRole = Qt::UserRole + 1,        // id of the row's object (column 0), or an option key
        PartRole = Qt::UserRole + 2,      // constraint-columns cell: 1 schema, 2 table, 3 column
        ColumnIdRole = Qt::UserRole + 4,  // a column id (index and constraint columns)
        OwnerRole = Qt::UserRole + 5,     // mappings: id of the owning model, empty for the project
        SideRole = Qt::UserRole + 6,      // constraint-columns cell: 0 own table, 1 referenced table
    };

    TableDetailsController(Ui::MainWindow* ui, QObject* parent);

    void setProject(ProjectItem* project);
    void setDefaultDialect(const QString& dialect);
    // Finds a table's entity on the current canvas by id.
    void setEntityResolver(std::function<EntityItem*(const QString& id)> resolver);

    // True while the controller itself writes an edit into the model or the
    // entity, and during a refresh.
    bool isUpdating() const;
    // The shown object's model's dialect, else the default dialect.
    QString currentDialect() const;

    void showTable(ModelItem* model, TableItem* table, EntityItem* entity);
    void showView(ModelItem* model, ViewItem* view, EntityItem* entity);
    // Shows nothing; the project stays.
    void clear();
    // Rebuilds every tab from the shown object.
    void refresh();

    // What the pane shows; null when nothing of that kind is shown.
    ProjectItem* shownProject() const;
    ModelItem* shownModel() const;
    TableItem* shownTable() const;
    ViewItem* shownView() const;
    EntityItem* shownEntity() const;

    // How many full refreshes have run so far.
    int refreshCount() const { return refreshes; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void objectRenameRequested(QString kind, QString id, QString name);
    void mappingsChanged();
    void relationshipConstraintRemoved(QString relationshipId);
    void columnRemoved(QString columnId);
    // A column about to be removed is used by these relationships' foreign
    // keys (as its own or as the referenced column), and the user agreed
    // that they go with it.
    void relationshipsRemovalRequested(QStringList relationshipIds);

private:
    friend class TestTableDetails;
    friend class TestDetailsActions;

    // Shows a table or a view (the other null), or nothing.
    void show(ModelItem* model, TableItem* table, ViewItem* view, EntityItem* entity);
    void configureTableView(QTableView* view);
    void createDelegates();
    void connectForm();
    void enableWidgets();
    // Sizes a grid's columns to what it shows; done when another object is
    // shown or the grid gets its first rows, so that widths the user set
    // stay while one object is edited.
    static void fitColumnWidths(QAbstractItemView* grid);
    // The eight grids of the pane, the mappings list last.
    QList<QAbstractItemView*> allGrids() const;
    // What a rebuild of a grid's rows would lose: its scroll position and
    // the widths of its columns.
    struct GridState
    {
        QAbstractItemView* grid;
        int horizontal;
        int vertical;
        int rows;
        QList<int> widths;
    };
    // The mappings list's state, and with allGrids those of the others.
    QList<GridState> gridStates(bool allGrids) const;
    static void restoreGridStates(const QList<GridState>& states);

    // ---- utilities
    void scheduleRefresh();
    EntityItem* entityForTable(const QString& tableId) const;
    static QString currentRowId(QAbstractItemView* view);
    static void selectRowById(QTableView* view, const QString& id);
    static void setLineTextIfNoFocus(QLineEdit* field, const QString& text);
    static void setPlainTextIfNoFocus(QPlainTextEdit* field, const QString& text);
    static QStandardItem* makeItem(const QString& text, bool editable);
    static QStandardItem* makeCheckItem(bool on);
    static int indexOfAttribute(EntityItem* entity, const QString& name);
    static QString cellText(QStandardItemModel* model, int row, int column);
    ConstraintItem* currentConstraint() const;
    IndexItem* currentIndexItem() const;
    // The mapping of a mappings-grid row, found by the id and owner kept in
    // the row; null when the row shows none or it has gone.
    MappingItem* mappingAt(int row) const;
    QString relationshipIdForConstraint(ConstraintItem* constraint) const;

    // ---- entity mirroring
    void syncEntityKeysFromConstraints();
    void syncEntityForeignKeysFromConstraints();
    void syncColumnComment();
    void onColumnCommentChanged();
    void renameColumn(ColumnItem* column, const QString& newName);
    void pushColumnTypeToEntity(ColumnItem* column);
    // Runs fn with `updating` set, restoring its previous value.
    void whileUpdating(const std::function<void()>& fn);

    // ---- item lists of the combo boxes
    QStringList dataTypeItems(const QModelIndex& index) const;
    QStringList tableColumnItems(const QModelIndex& index) const;
    QStringList constraintColumnItems(const QModelIndex& index) const;
    QStringList mappingCellItems(const QModelIndex& index) const;

    // ---- General tab
    void refreshGeneral();
    void refreshPhysicalProperties();
    void onSchemaEdited();
    void onNameEdited();
    void onCommentsEdited();
    void onPhysicalPropertyChanged(QStandardItem* item);

    // ---- Columns tab
    void refreshColumns();
    void onColumnItemChanged(QStandardItem* item);
    void onTableColumnItemChanged(QStandardItem* item, ColumnItem* column);
    void onViewColumnItemChanged(QStandardItem* item, const QString& key);
    void updateActionStates();

    // ---- Constraints tab
    void refreshConstraints();
    void refreshConstraintColumns();
    // Puts the column named name at position of the constraint's own
    // columns, or of its referenced columns (referencedSide); false when
    // refused. A foreign key's two lists are kept the same length.
    bool setConstraintColumnAt(ConstraintItem* constraint, int position, bool referencedSide,
                               const QString& name);
    // A foreign key's shorter column list is padded with empty ids to the
    // length of the other, so that every position is a pair.
    static void padForeignKeyColumns(ConstraintItem* constraint);
    void onConstraintItemChanged(QStandardItem* item);
    void onConstraintColumnItemChanged(QStandardItem* item);

    // ---- Indexes tab
    void refreshIndexes();
    void refreshIndexColumns();
    void onIndexItemChanged(QStandardItem* item);
    void onIndexColumnItemChanged(QStandardItem* item);

    // ---- Governance tab
    void refreshGovernance();
    void onGovernanceItemChanged(QStandardItem* item);

    // ---- Mappings tab
    // What a mapping's row shows: six names, and the mapping's id and owner.
    struct MappingRow
    {
        QString id;
        QString owner;
        QStringList texts;
    };
    void refreshMappings();
    // The cells of a mapping's row, id and owner on the first.
    static QList<QStandardItem*> mappingCells(const MappingRow& row);
    // When the mappings grid lists exactly these mappings (and the empty
    // last row), once a single added or removed mapping's row is put in or
    // taken out, sets the cells whose text differs and returns true; false
    // when the rows must be built anew.
    bool updateMappingTexts(const QList<MappingRow>& rows);
    void onMappingItemChanged(QStandardItem* item);
    // Applies the edited side (source for grid columns 0 to 2, target for 3
    // to 5) of a mapping's row; true when the mapping changed.
    bool applyMappingRow(MappingItem* mapping, int row, int column);
    bool createMappingFromRow(int row);
    bool isKnownMapping(const MappingItem* mapping) const;

    // ---- actions of the tool buttons
    void addColumn();
    void removeColumn();
    void showAddConstraintMenu();
    void addConstraintOfKind(int kind);
    QString uniqueConstraintName(const QString& prefix) const;
    void removeConstraint();
    void addConstraintColumn();
    void removeConstraintColumn();
    void addIndex();
    void removeIndex();
    void addIndexColumn();
    void removeIndexColumn();
    void addMapping();
    void removeMapping();
    // False while a refresh or the controller's own edit runs.
    bool actionsAllowed() const { return !updating && !refreshing; }

    Ui::MainWindow* ui = nullptr;
    QPointer<ProjectItem> project;
    QPointer<ModelItem> model;
    QPointer<TableItem> table;
    QPointer<ViewItem> view;
    QPointer<EntityItem> entity;
    QString defaultDialect;
    std::function<EntityItem*(const QString& id)> entityResolver;

    DetailsGridModel* physicalModel = nullptr;
    DetailsGridModel* columnsModel = nullptr;
    DetailsGridModel* constraintsModel = nullptr;
    DetailsGridModel* constraintColumnsModel = nullptr;
    DetailsGridModel* indexesModel = nullptr;
    DetailsGridModel* indexColumnsModel = nullptr;
    DetailsGridModel* governanceModel = nullptr;
    DetailsGridModel* mappingsModel = nullptr;

    bool updating = false;
    bool refreshing = false;
    bool refreshPending = false;
    bool mappingsChangedDuringRefresh = false;
    QString pendingConstraintId;
    QString pendingColumnId;
    QString pendingIndexId;
    QString pendingMappingId;
    // What the name and schema fields were last given: a field that still
    // shows it was not changed by the user and writes nothing back.
    QString shownName;
    QString shownSchema;

    int refreshes = 0;
    // The object the grids were last fitted to ("table:<id>", "view:<id>").
    QString fittedObject;
};
