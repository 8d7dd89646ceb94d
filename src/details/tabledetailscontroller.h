#pragma once

#include <QObject>
#include <QString>

#include <functional>

class EntityItem;

namespace Ui {
class MainWindow;
}

// Drives the details pane (General, Columns, Constraints, Indexes,
// Governance and Mappings tabs) of the selected table or view.
class TableDetailsController : public QObject
{
    Q_OBJECT
public:
    TableDetailsController(Ui::MainWindow* ui, QObject* parent);

    void setEntityResolver(std::function<EntityItem*(const QString& id)> resolver);

    // True while the controller itself writes an edit into the model.
    bool isUpdating() const;

signals:
    void objectRenameRequested(QString kind, QString id, QString name);
    void mappingsChanged();
    void columnRemoved(QString columnId);
    void relationshipConstraintRemoved(QString relationshipId);

private:
    Ui::MainWindow* m_ui;
    std::function<EntityItem*(const QString& id)> m_entityResolver;
};
