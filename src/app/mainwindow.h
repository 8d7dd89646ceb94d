#pragma once

#include "app/thememanager.h"
#include "dialogs/stylerecords.h"
#include "model/projectitem.h"

#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QIcon>
#include <QJsonObject>
#include <QMainWindow>
#include <QPointF>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QCloseEvent;
class QComboBox;
class QFrame;
class QGraphicsPathItem;
class QLabel;
class QLineEdit;
class QMenuBar;
class QModelIndex;
class QSlider;
class QStandardItem;
class QToolButton;

class BusySpinnerWidget;
class DiagramItem;
class EdgeItem;
class EntityItem;
class ERScene;
class ERView;
class ExplorerFilterProxy;
class ModelItem;
class ProjectItem;
class ProjectTreeModel;
class RelationshipItem;
class SchemaImporter;
class TableDetailsController;
class TableItem;

namespace Ui {
class MainWindow;
}

// The application's one window: the form with its menus, toolbar, docks and
// status bar, the canvas with its scene, the busy indicator, the theme, the
// details pane controller and the open project. Every user command enters
// as one of its slots.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The first selected entity of the scene, or null
    // (explorer/mainwindowselection.cpp).
    EntityItem* selectedEntity() const;

    // Puts action into the first menu of the menu bar, just above its first
    // entry whose text contains "exit" or "quit" (any case), or at its end.
    // Nothing happens when the menu bar has no menu as its first entry
    // (app/mainwindow.cpp).
    static void insertBeforeQuitEntry(QMenuBar* menuBar, QAction* action);

protected:
    void changeEvent(QEvent* event) override;
    // Asks about unsaved changes first (app/mainwindowfile.cpp).
    void closeEvent(QCloseEvent* event) override;

    // Each group below is defined in the source file named in its heading.
public slots:
    // ---- start-up (app/mainwindow.cpp)
    void createEmptyProject();
    void on_actionAbout_Quillmap_triggered();

    // ---- theme (app/mainwindowtheme.cpp)
    void adjustThemeColors(ThemeManager& tm);
    void applyTableTheme(ThemeKind kind);
    void ensureToolButtonIconCache();
    void applyThemedToolButtonIcons(ThemeKind kind);
    void on_actionToggle_Theme_triggered();

    // ---- header bar, status bar and zoom (app/mainwindowstatusbar.cpp)
    void setupStatusBar();
    void sliderSetZoom(double value);
    void setViewZoom(int value);
    void setFilePathDisplay(const QString& path);

    // ---- tool actions (app/mainwindowtools.cpp)
    void setupDiagramToolButtons();
    void on_actionAdd_Table_triggered(bool checked);
    void on_actionAdd_View_triggered(bool checked);
    void on_actionAdd_Text_triggered(bool checked);
    void on_actionAdd_Group_triggered(bool checked);
    void on_actionAdd_Relationship_triggered(bool checked);
    void on_actionAdd_Column_triggered();
    void selectAll();
    void on_actionSelect_All_triggered();
    void on_actionShow_Properties_triggered();
    void on_dockWidget_visibilityChanged(bool visible);
    void on_actionAuto_layout_triggered();
    void on_action_Exit_triggered();

    // ---- canvas tools and relationship creation (app/mainwindowtools.cpp)
    void onSceneClickedPlaceItem(QPointF scenePos, Qt::MouseButton button);
    void onSceneClickedAddRelationship(QPointF scenePos, Qt::MouseButton button);
    void onCanvasEscapePressed();
    void onSceneMouseMoved(QPointF scenePos);
    void showRelationshipPreview(EntityItem* from, QPointF to);
    void updateRelationshipPreview(QPointF to);
    void clearRelationshipPreview();
    // The entity under a scene point (a row label or slot handle counts as
    // its entity), or null.
    EntityItem* entityAtScenePos(QPointF scenePos) const;
    void editLastAttributeRow();
    void addAttributeRow();

    // ---- saving and opening (app/mainwindowfile.cpp)
    void on_action_Save_triggered();
    void on_action_Save_As_triggered();
    void on_action_Open_triggered();
    // Save writes to the document's path, asking for one when there is none;
    // Save As always asks. The path becomes the document's only once the
    // file was written in full.
    void saveDiagram();
    void saveDiagramAs();
    // Asks for a project or diagram file and loads it; the path becomes the
    // document's only once the file was read and loaded.
    void loadDiagram();

    // ---- export (app/mainwindowexport.cpp)
    void on_actionExport_to_PDF_triggered();
    void on_actionExport_to_SVG_triggered();
    void on_actionExport_to_Mermaid_triggered();
    void on_actionExport_to_Drawio_triggered();

    // ---- import (app/mainwindowimport.cpp)
    void on_actionImport_from_Image_triggered();
    void on_actionImport_from_Mermaid_triggered();
    void on_actionImport_from_Drawio_triggered();
    void importFromDatabase();

    // ---- style dialogs (app/mainwindowstyle.cpp)
    // Opens the dialog that fits the selection: text items only, groups
    // only, or else the colours of tables and views.
    void on_actionEntity_Colors_triggered();
    // Each runs its dialog modally, preloaded from the first selected item
    // of its kind (or the defaults) and proposing the selected item, the
    // selected items or the whole diagram by how many are selected.
    void showColorsDialog();
    void showTextStyleDialog();
    void showGroupStyleDialog();
    // A dialog's result: to the selected items of the kind (targets 0 and
    // 1), to every one in the diagram (2 and anything else) or only to the
    // defaults for new items (3); with useForNew the defaults as well.
    void applyEntityColorScheme(const DualThemeColorScheme& scheme, ApplyTarget target, bool useForNew);
    void applyTextItemStyle(const TextItemStyle& style, ApplyTarget target, bool useForNew);
    void applyGroupItemStyle(const GroupItemStyle& style, ApplyTarget target, bool useForNew);

    // ---- explorer tree, current markers, header bar names, search, filter,
    // the add menu and the New commands (explorer/mainwindowexplorer.cpp)
    void initializeTreeModel();
    void rebuildProjectTree();
    void updateTreeCurrentMarkers();
    QStandardItem* findTreeItem(QStandardItem* parent, const QString& kind, const QString& id) const;
    QStandardItem* findTreeItem(const QString& kind, const QString& id) const;
    ModelItem* modelForTreeIndex(const QModelIndex& index) const;
    void updateTreeItemText(const QString& kind, const QString& id, const QString& text);
    void refreshNameEditors();
    void applyProjectName(const QString& name);
    void applyModelName(const QString& modelId, const QString& name);
    void applyDiagramName(const QString& diagramId, const QString& name);
    void applyModelObjectName(const QString& kind, const QString& id, const QString& name,
                              EntityItem* sourceEntity = nullptr);
    void onProjectTreeItemChanged(QStandardItem* item);
    void onExplorerSearchTextChanged(const QString& text);
    // Pushes hiddenKinds and the search text into the filter proxy, expands
    // the tree and checks the filter button while any kind is hidden.
    void applyExplorerFilter();
    void showExplorerFilterPopup();
    void showExplorerAddMenu();
    // The add menu's commands; those taking a model do nothing without one.
    void addExplorerModel();
    void addExplorerDiagram(ModelItem* model);
    void addExplorerTable(ModelItem* model);
    void addExplorerView(ModelItem* model);
    // Asks for the parent and child tables; draws the edge when both are on
    // the live diagram, else writes the relationship and its foreign key
    // into the model.
    void addExplorerRelationship(ModelItem* model);
    // "Model %1" / "Diagram %1" with the smallest free number.
    QString uniqueModelName() const;
    QString uniqueDiagramName(ModelItem* model) const;
    void onProjectNameEditingFinished();
    void onModelNameEditingFinished();
    void onDiagramNameEditingFinished();
    void on_action_New_triggered();
    void on_action_New_Model_triggered();
    void on_action_New_Diagram_triggered();
    QString uniqueObjectName(ModelItem* model, const QString& prefix) const;

    // ---- selection between explorer and canvas (explorer/mainwindowselection.cpp)
    void syncTreeSelectionFromScene();
    void selectExplorerItem(const QString& kind, const QString& id);
    void onProjectTreeSelectionChanged();
    void releaseSceneSelection();

    // ---- canvas and model in step, diagram switching, stored diagrams
    // (explorer/mainwindowsync.cpp)
    void syncModelFromScene();
    void captureCurrentDiagram();
    // Makes the diagram current and loads it into the scene (the outgoing
    // diagram is captured first); false for a null diagram or no scene.
    bool loadDiagramItem(DiagramItem* diagram);
    // Makes the model current, loading its first diagram when the canvas
    // shows none of its diagrams; a model without diagrams gets an empty
    // canvas and no current diagram.
    void switchToModel(ModelItem* model);
    EntityItem* findEntityOnScene(const QString& id);
    EdgeItem* findEdgeOnScene(const QString& id);
    void watchEntityTitle(EntityItem* entity);
    void registerEntityInModel(EntityItem* entity);
    void registerEdgeInModel(EdgeItem* edge);
    // The entity's id, given a fresh one first when it has none.
    QString stableEntityId(EntityItem* entity);
    void syncTableColumnsFromEntity(EntityItem* entity);
    void onEntityTitleChanged(QString title);
    void onEntityAttributeEdited(int index, QString oldName, QString name, QString type);
    void onEntityStructureChanged();
    QJsonObject storedEntityJson(const QString& entityId) const;
    QJsonObject storedEdgeJson(const QString& edgeId) const;
    // Sets "title" of that entity in the stored diagrams of `model` (the
    // current model when null).
    void renameStoredEntityTitle(const QString& entityId, const QString& name, ModelItem* model = nullptr);
    void stripFromModelDiagrams(ModelItem* model, const QSet<QString>& entityIds, const QSet<QString>& edgeIds);
    void stripItemsFromOtherDiagrams(const QStringList& entityIds, const QStringList& edgeIds);

    // ---- placement (explorer/mainwindowplacement.cpp)
    // Places the dragged tables and views of the current model at the drop
    // point (snapped to 20, cascading by 40), selects them and draws their
    // relationships to what is on the canvas. The model does not change.
    void onExplorerDropRequested(QByteArray payload, QPointF scenePos);
    // A new entity for the table or view, with its stored look from a
    // diagram of the current model or built from its columns; null for an
    // unknown object.
    EntityItem* placeModelEntityOnDiagram(const QString& kind, const QString& id, QPointF scenePos);
    // One row per column, with key marks and foreign-key rows linked to the
    // relationships of the table's foreign keys.
    void populateEntityFromTable(EntityItem* entity, TableItem* table);
    // Draws the current model's relationships that touch the placed objects
    // and are missing on the canvas.
    void connectRelationshipsForDroppedEntities(const QStringList& placedIds);
    // The cardinalities stored for the relationship elsewhere (turned round
    // when stored the other way), else One to Many.
    void applyStoredRelationshipNotation(EdgeItem* edge, RelationshipItem* relationship);
    // Makes sure that what is drawn on the canvas belongs to a diagram: with
    // none current, the current model's first diagram (or a new one, or a
    // new project when there is none) becomes current, keeping the canvas,
    // and the explorer shows it. False when no diagram could be had.
    bool ensureDrawingDiagram();

    // ---- removal (explorer/mainwindowremoval.cpp)
    // Removes the selected models, diagrams, tables, views and relationships
    // from the project and every diagram, after asking.
    void removeExplorerSelection();
    void removeExplorerModel(const QString& id);
    void removeExplorerDiagram(ModelItem* model, const QString& id);
    // Tables and views, with their relationships and their foreign keys;
    // the canvas and the diagrams are touched once for all of them.
    void removeExplorerEntities(ModelItem* model, const QStringList& ids);
    void removeExplorerRelationship(ModelItem* model, const QString& id);
    // Delete and Backspace on the canvas: the focused row after asking, or
    // the selected items from the diagram or from the model, as chosen.
    void deleteSelection();
    // Delete and Backspace act where the keyboard focus is: in a details
    // grid that tab's remove action, in the explorer tree the explorer's
    // removal, on the canvas deleteSelection; elsewhere nothing.
    void deleteWhereFocused();
    // Deletes the scene entity of that id and its edges, without the model
    // hearing of it.
    void removeLiveEntity(const QString& id);
    // Takes the table or view with its relationships and their foreign keys
    // out of the current model; the canvas and the stored diagrams are left
    // alone.
    void removeEntityFromModel(const QString& id);
    // The current model when it holds the relationship, else the first of
    // the project's models that does; null when none does.
    ModelItem* modelOfRelationship(const QString& id) const;
    // Takes the relationship and its foreign key out of the model that
    // holds it; the canvas and the stored diagrams are left alone.
    void removeRelationshipFromModel(const QString& id);

    // ---- details pane (details/mainwindowdetails.cpp)
    void refreshTableDetails();
    void forgetColumnReferences(const QString& columnId);

public:
    // ---- unsaved changes (app/mainwindowfile.cpp)
    // To be called before a command throws the document away (Exit, closing
    // the window, Open, New, the imports that replace the project). When the
    // document differs from what was last saved or opened, asks "Save
    // changes to <name> before closing?" with Save, Discard and Cancel; Save
    // runs the Save road and waits for it. True when the command may go on:
    // nothing to save, Discard, or a Save that wrote the file. False for
    // Cancel and for a Save that was cancelled or failed.
    bool maybeSaveChanges();
    // Whether the document (what Save would write) differs from the one last
    // saved or opened.
    bool hasUnsavedChanges();
    // Takes the document as it stands as the saved one: after it was
    // written or read, and for a fresh project.
    void markDocumentSaved();
    // Counts one possible change of the document. The count moves with
    // every user input to the application, every entity or edge added to
    // the canvas and every change of the explorer tree (which follows every
    // change of the model); while it stands still since the document was
    // last found equal to the saved one, nothing has changed and
    // hasUnsavedChanges answers without writing the document out.
    void noteDocumentEdit() { ++editCount; }

    // ---- loading (app/mainwindowfile.cpp)
    // Loads a parsed project file or bare diagram into the model and the
    // scene. Returns false, with the model and the scene unchanged and a
    // sentence for the user in *errorText, for an object whose "type" names
    // neither a diagram nor a project, and for one without "type" that has
    // none of the lists "entities", "edges" and "annotations".
    bool loadProjectOrDiagram(const QJsonObject& root, QString* errorText = nullptr);
    // Wraps the diagram just loaded into the scene into a fresh project.
    void adoptLoadedScene(QString projectName = QString());

    // ---- import (app/mainwindowimport.cpp)
    // Recognises the picture at path into the scene and adopts it as a new
    // project named after the file, and tells in the status bar what was
    // read; false (logged, and the reason in failure) when nothing usable
    // was recognised. The job of Import from Image.
    bool importImageFile(const QString& path, QString* failure = nullptr);
    // The common ending of the imports: the diagram in the scene becomes a
    // new project, without a file, and the view fits it.
    void adoptImportedDiagram(const QString& projectName);

    // ---- export (app/mainwindowexport.cpp)
    // Render the diagram into a file (see SceneExporter); false when there
    // is no scene or the file could not be written.
    bool exportSceneToPdf(ERScene* scene, const QString& filePath, QString* errorText = nullptr);
    bool exportSceneToSvg(ERScene* scene, const QString& filePath, QString* errorText = nullptr);

private slots:
    // ---- selection (explorer/mainwindowselection.cpp)
    void onSceneSelectionChanged();
    // ---- canvas tools (app/mainwindowtools.cpp)
    void onRelationshipStartDestroyed();
    // ---- synchronisation (explorer/mainwindowsync.cpp)
    void onEntityAdded(EntityItem* entity);
    void onEdgeAdded(EdgeItem* edge);
    // ---- header bar (explorer/mainwindowexplorer.cpp)
    void onDialectChanged(const QString& dialect);
    // ---- details pane (details/mainwindowdetails.cpp)
    void onObjectRenameRequested(const QString& kind, const QString& id, const QString& name);
    void onMappingsChanged();
    // The pane removed a relationship's foreign key: the relationship, its
    // edge and its rows in the stored diagrams go too.
    void onRelationshipConstraintRemoved(const QString& relationshipId);
    // The pane is about to remove a column that these relationships' foreign
    // keys use: they go from the model, the canvas and every diagram, with
    // the child's foreign-key rows and columns.
    void onRelationshipsRemovalRequested(const QStringList& relationshipIds);

private:
    // The explorer tests set the current model and diagram directly.
    friend class TestExplorerWindow;
    friend class TestExplorerCommands;
    friend class TestPlacementRemoval;
    friend class TestModelWhole;
    // So do the synchronisation tests and benchmark.
    friend class TestModelSync;
    friend class TestSyncScenarios;
    friend class SyncBenchmark;
    // The details pane's tests script projects across models.
    friend class TestDetailsActions;

    // app/mainwindow.cpp
    void createZoomActions();
    void createShortcutActions();
    void setupToolBar();
    // app/mainwindowtheme.cpp
    void fillActionIconCaches();
    QSize toolBarIconSize() const;
    // app/mainwindowtools.cpp
    // Switches the other add tools off before tool `keep` goes on.
    void leaveOtherAddTools(QAction* keep);
    // A tool that places an item on each click: going on, it switches the
    // other tools off first; going off, it gives the pointer back.
    void switchPlacingTool(QAction* tool, void (ERView::*setMode)(bool), bool on);
    // Forgets the first click of a pending relationship: no preview line,
    // the start entity deselected.
    void dropRelationshipStart();
    // app/mainwindowfile.cpp
    // The path Save writes to: the document's, or (always with askAlways)
    // one asked for; empty when the dialog was cancelled.
    QString savePath(bool askAlways);
    // Save's work once the path is known. done, when given, hears whether
    // the file was written, once the busy indicator has gone (at once when
    // nothing was started).
    void saveToPath(const QString& path, std::function<void(bool)> done = {});
    // The Save road, waited for; true when the file was written.
    bool saveAndWait();
    // The document as Save writes it: the project's parts (its own text and
    // the stored diagrams), or the canvas alone while there is no project.
    // Equal documents make equal files.
    struct DocumentState
    {
        bool hasProject = false;
        ProjectItem::DocumentParts project;
        QJsonObject canvas;
        bool operator!=(const DocumentState& other) const
        {
            return hasProject != other.hasProject || project != other.project || canvas != other.canvas;
        }
        QByteArray text() const;
        // Open's refusal of the file text() makes, or empty when Open takes it.
        QString excess() const;
    };
    // The document as it stands: the model brought up to date from the
    // canvas, then the project's parts, made for the file or, compact, for
    // comparing only. Throws what writing them throws.
    DocumentState currentDocument(bool compact = false);
    // The second half of a save, off the GUI thread: the check against
    // Open's limits and the atomic write of bytes.
    void writeDocument(const QString& path, DocumentState document, QByteArray bytes, quint64 countBefore,
                       std::function<void(bool)> done);
    // Lets the scene take in what a load added before the canvas is fitted
    // around it.
    void letSceneReportLoad();
    // After a successful open: scene rectangle from the items, view fitted.
    void fitSceneAfterLoad();
    // app/mainwindowexport.cpp
    // Export's work once the path is known; title names the command.
    void runExport(bool pdf, const QString& path, const QString& title);
    // Writes the diagram of the canvas to path with an interchange writer on
    // the worker thread; a failure shows a warning titled title with the
    // writer's sentence, or defaultError when it gave none.
    using DiagramFileWriter = std::function<bool(const QJsonObject& diagram, const QString& path, QString* error)>;
    void exportDiagramFile(const QString& path, const QString& title, const QString& defaultError,
                           DiagramFileWriter write);
    // app/mainwindowimport.cpp
    // Reads path with an interchange reader on the worker thread and puts
    // the diagram it gives on the canvas as a new untitled project; a
    // failure shows a warning titled title with the reader's sentence, or
    // defaultError when it gave none.
    using DiagramFileReader = std::function<QJsonObject(const QString& path, QString* error)>;
    void importDiagramFile(const QString& path, const QString& title, const QString& defaultError,
                           DiagramFileReader read);
    // Stops the inspector of a database import, if one runs, and lets the
    // importer go.
    void discardSchemaImporter();
    // The end of a successful database import: the diagram becomes the new
    // project "Imported model" in the inspector's dialect, then Save is
    // offered.
    void finishDatabaseImport(const QJsonObject& erJson, const QJsonObject& fullSchema);
    // explorer/mainwindowplacement.cpp
    // placeModelEntityOnDiagram with the stored look already found (empty:
    // none, build it from the model).
    EntityItem* placeEntityWithLook(const QString& kind, const QString& id, QPointF scenePos,
                                    const QJsonObject& stored);
    // explorer/mainwindowremoval.cpp
    enum class DeleteChoice { Cancel, FromDiagram, FromModel };
    // The three-button box of deleteSelection.
    DeleteChoice askDeleteChoice();
    // Deletes the row of a focused row label, after asking; false when no
    // row label has the focus.
    bool deleteFocusedRow();
    // The ids of the model's relationships from or to that table or view.
    static QStringList relationshipsOfTable(const ModelItem* model, const QString& tableId);
    // The relationship and the foreign key on its child table; with
    // dropColumns also the foreign key's columns (whose rows leave the
    // diagrams with the relationship's edge), and every reference to them.
    void removeRelationshipAndForeignKey(ModelItem* model, const QString& id, bool dropColumns = true);
    // Releases the selection and clears the scene without the model hearing.
    void clearCanvasQuietly();
    // explorer/mainwindowexplorer.cpp
    // Renames the project, a model or a diagram from its name field or its
    // explorer row; a blank or unchanged name puts storedRowText back on the
    // row and the stored name back in the field.
    template <typename Item>
    void applyContainerName(Item* item, const QString& kind, const QString& name, const QString& storedRowText);

    Ui::MainWindow* ui = nullptr;

    // ---- shared state
    ERScene* scene = nullptr;
    BusySpinnerWidget* busy = nullptr;
    ProjectItem* project = nullptr;
    ModelItem* currentModel = nullptr;
    DiagramItem* currentDiagram = nullptr;
    QPointer<EntityItem> currentEntity;
    TableDetailsController* detailsController = nullptr;
    ProjectTreeModel* treeModel = nullptr;
    ExplorerFilterProxy* treeProxy = nullptr;
    QSet<QString> hiddenKinds;

    // The importer of the database import under way; null when none runs.
    SchemaImporter* schemaImporter = nullptr;

    // ---- re-entrancy guards
    bool syncingSelection = false;   // selection copied between explorer and canvas
    bool suppressModelSync = false;  // loading: scene signals must not reach the model
    bool updatingTree = false;       // the program itself relabels explorer rows

    // ---- canvas tools
    // Guarded: the entity can go (deleted, scene cleared) between clicks.
    QPointer<EntityItem> relationshipStartEntity;
    QGraphicsPathItem* relationshipPreview = nullptr;

    // ---- header bar
    QComboBox* dialectCombo = nullptr;
    QLineEdit* projectNameEdit = nullptr;
    QLineEdit* modelNameEdit = nullptr;
    QLineEdit* diagramNameEdit = nullptr;
    QLabel* projectCaption = nullptr;
    QLabel* modelCaption = nullptr;
    QLabel* dialectCaption = nullptr;
    QLabel* diagramCaption = nullptr;

    // ---- status bar
    QFrame* filenameFrame = nullptr;
    QLabel* labelFileName = nullptr;
    QFrame* alertsFrame = nullptr;
    QToolButton* buttonAlerts = nullptr;
    QFrame* zoomFrame = nullptr;
    QToolButton* buttonFitAll = nullptr;
    QToolButton* buttonZoomReset = nullptr;
    QSlider* zoomSlider = nullptr;
    QLabel* labelZoomPercent = nullptr;
    QString currentFilePath;
    // ---- the document as last saved or opened: the project's own text and
    // the stored diagram contents it was written from (shared with their
    // records), which make the same file again while they compare equal
    DocumentState savedDocument;
    // The edit count when the document was last found equal to
    // savedDocument; unset while that object is not known to be right.
    quint64 editCount = 0;
    std::optional<quint64> cleanEditCount;
    // Ties the edit count to the roads by which the document can change.
    void watchDocumentEdits();
    bool updatingViewZoom = false;   // the slider pushes its value into the view
    bool updatingZoomSlider = false; // a view zoom change pushes its value into the slider

    // ---- actions made in code
    QAction* importDatabaseAction = nullptr;
    QAction* themeShortcutAction = nullptr;
    QAction* zoomInAction = nullptr;
    QAction* zoomOutAction = nullptr;
    QAction* resetZoomAction = nullptr;
    QAction* fitAllAction = nullptr;
    QAction* editLastRowAction = nullptr;
    QAction* addRowAction = nullptr;
    QAction* deleteAction = nullptr;
    QAction* backspaceAction = nullptr;

    // ---- colours for new entities (light background, header, border, text,
    // then dark), invalid until the user picks defaults
    std::array<QColor, 8> defaultEntityColors;

    // ---- icons as designed (light theme) and colour-inverted (dark theme)
    QHash<QAction*, QIcon> designedActionIcons;
    QHash<QAction*, QIcon> invertedActionIcons;
    QHash<QToolButton*, QIcon> designedToolButtonIcons;
    QHash<QToolButton*, QIcon> invertedToolButtonIcons;
};
