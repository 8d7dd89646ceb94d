#include "details/tabledetailscontroller.h"

#include "details/detailsgridmodel.h"
#include "details/dialects.h"
#include "model/tableitem.h"
#include "model/viewitem.h"

#include "ui_mainwindow.h"

#include <QEvent>
#include <QLineEdit>
#include <QStandardItemModel>

#include <utility>

void TableDetailsController::refreshGeneral()
{
    QString schema;
    QString name;
    QString comment;
    if (table) {
        schema = table->schema();
        name = table->name();
        comment = table->comment();
    } else if (view) {
        schema = view->schema();
        name = view->name();
        comment = view->comment();
    }
    setLineTextIfNoFocus(ui->lineEditSchema, schema);
    setLineTextIfNoFocus(ui->lineEditTable, name);
    if (!ui->lineEditSchema->hasFocus())
        shownSchema = schema;
    if (!ui->lineEditTable->hasFocus())
        shownName = name;
    setPlainTextIfNoFocus(ui->plainTextEditTableComments, comment);
}

void TableDetailsController::refreshPhysicalProperties()
{
    const DetailsGridModel::Rebuild rebuild(physicalModel, {QStringLiteral("Name"), QStringLiteral("Value")});
    if (!table)
        return;
    for (const PhysicalOption& option : physicalOptionsForDialect(currentDialect())) {
        QStandardItem* label = makeItem(option.second, false);
        label->setData(option.first, IdRole);
        QStandardItem* value = makeItem(table->property(option.first), true);
        value->setData(option.first, IdRole);
        physicalModel->appendRow({label, value});
    }
}

void TableDetailsController::onSchemaEdited()
{
    if (updating)
        return;
    const QString text = ui->lineEditSchema->text();
    // Unchanged by the user: a schema set elsewhere meanwhile stays.
    if (text == shownSchema) {
        setLineTextIfNoFocus(ui->lineEditSchema, table ? table->schema() : view ? view->schema() : QString());
        return;
    }
    shownSchema = text;
    if (table) {
        if (text != table->schema()) {
            table->setSchema(text);
            scheduleRefresh();
        }
    } else if (view) {
        if (text != view->schema())
            view->setSchema(text);
    }
}

void TableDetailsController::onCommentsEdited()
{
    if (updating)
        return;
    const QString text = ui->plainTextEditTableComments->toPlainText();
    if (table)
        table->setComment(text);
    else if (view)
        view->setComment(text);
}

void TableDetailsController::onNameEdited()
{
    if (updating || (!table && !view))
        return;
    const bool isView = view && !table;
    const QString kind = isView ? QStringLiteral("view") : QStringLiteral("table");
    const QString currentName = isView ? view->name() : table->name();
    const QString id = isView ? view->id() : table->id();
    const QString name = ui->lineEditTable->text().trimmed();
    if (name.isEmpty()) {
        setLineTextIfNoFocus(ui->lineEditTable, currentName);
        return;
    }
    if (name == currentName)
        return;
    // The field still shows what the pane gave it, and the object was
    // renamed elsewhere since: that name stands.
    if (name == shownName.trimmed()) {
        setLineTextIfNoFocus(ui->lineEditTable, currentName);
        return;
    }
    shownName = name;
    whileUpdating([&] { emit objectRenameRequested(kind, id, name); });
    scheduleRefresh();
}

bool TableDetailsController::eventFilter(QObject* watched, QEvent* event)
{
    // A refused blank name stays in the field while it has the focus (Return
    // does not take it away); once the focus goes, the stored name returns.
    if (ui && watched == ui->lineEditTable && event->type() == QEvent::FocusOut
        && ui->lineEditTable->text().trimmed().isEmpty() && (table || view))
        scheduleRefresh();
    return QObject::eventFilter(watched, event);
}

void TableDetailsController::onPhysicalPropertyChanged(QStandardItem* item)
{
    if (updating || !table || !item || item->column() != 1)
        return;
    table->setProperty(item->data(IdRole).toString(), item->text());
}
