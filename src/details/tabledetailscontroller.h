#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class EntityItem;
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
// table or view (with its entity on the canvas) to show.
class TableDetailsController : public QObject
{
    Q_OBJECT
public:
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

signals:
    void objectRenameRequested(QString kind, QString id, QString name);
    void mappingsChanged();
    void columnRemoved(QString columnId);
    void relationshipConstraintRemoved(QString relationshipId);

private:
    // Shows a table or a view (the other null), or nothing.
    void show(ModelItem* model, TableItem* table, ViewItem* view, EntityItem* entity);

    Ui::MainWindow* m_ui;
    QPointer<ProjectItem> m_project;
    QPointer<ModelItem> m_model;
    QPointer<TableItem> m_table;
    QPointer<ViewItem> m_view;
    QPointer<EntityItem> m_entity;
    QString m_defaultDialect;
    std::function<EntityItem*(const QString& id)> m_entityResolver;
    bool m_updating = false;
    bool m_refreshing = false;
};
