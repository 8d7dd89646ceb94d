#include "details/tabledetailscontroller.h"

#include <utility>

TableDetailsController::TableDetailsController(Ui::MainWindow* ui, QObject* parent)
    : QObject(parent)
    , m_ui(ui)
{
}

void TableDetailsController::setEntityResolver(std::function<EntityItem*(const QString& id)> resolver)
{
    m_entityResolver = std::move(resolver);
}

bool TableDetailsController::isUpdating() const
{
    return false;
}
