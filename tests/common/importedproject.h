#pragma once

#include "model/columnitem.h"
#include "model/constraintitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QStringList>

#include <memory>

// A project file read back, with its first model's tables in a form tests
// compare: "name:type" columns, and keys as "P(cols)", "U(cols)" and
// "F(cols)->table" by column and table names.
struct ImportedProject
{
    std::unique_ptr<ProjectItem> project;
    ModelItem* model = nullptr;

    // Reads the project at path; model stays null when it cannot.
    explicit ImportedProject(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        project = std::make_unique<ProjectItem>();
        if (!project->loadDocumentJson(QJsonDocument::fromJson(file.readAll()).object()))
            return;
        const QList<ModelItem*> models = project->models();
        model = models.isEmpty() ? nullptr : models.first();
    }

    TableItem* table(const QString& name) const
    {
        for (TableItem* table : model->tables())
            if (table->name() == name)
                return table;
        return nullptr;
    }

    QStringList tableNames() const
    {
        QStringList names;
        for (const TableItem* table : model->tables())
            names << table->name();
        names.sort();
        return names;
    }

    static QStringList columns(const TableItem* table)
    {
        QStringList texts;
        for (const ColumnItem* column : table->columns())
            texts << column->name() + QLatin1Char(':') + column->displayType();
        return texts;
    }

    QStringList keys(const TableItem* table) const
    {
        QHash<QString, QString> columnNames;
        for (const ColumnItem* column : table->columns())
            columnNames.insert(column->id(), column->name());
        QStringList texts;
        for (const ConstraintItem* constraint : table->constraints()) {
            QStringList names;
            for (const QString& id : constraint->columns())
                names << columnNames.value(id, QStringLiteral("?"));
            static const char* const kinds[] = {"P", "F", "U", "C"};
            QString text = QLatin1String(kinds[qBound(0, constraint->type(), 3)]) + QLatin1Char('(')
                           + names.join(QLatin1Char(',')) + QLatin1Char(')');
            if (constraint->type() == ConstraintItem::ForeignKey) {
                const TableItem* referenced = model->table(constraint->referencedTableId());
                text += QStringLiteral("->") + (referenced ? referenced->name() : QStringLiteral("?"));
            }
            texts << text;
        }
        texts.sort();
        return texts;
    }
};
