#pragma once

#include <QJsonObject>
#include <QString>

// The schema inspector's output and what the canvas makes of it.
//
// The inspector prints one object: {"meta": {"dialect"}, "tables": [{"name",
// "columns": [{"name", "type"}]}], "constraints": [{"type", "name", "table",
// "columns", "ref_table"}]} and any further members, which are kept but not
// read here.

// The diagram JSON of an inspector object: one entity per distinct table
// name on a grid in name order (320 wide, 260 high steps from (60, 60); a
// column or row holding a table too wide or tall for that grows by what the
// table is estimated to need, so that no two tables overlap),
// primary, unique and foreign-key flags on the attribute rows, and one edge
// per foreign key from the referenced table to the table that holds it.
// Foreign keys are told apart by owning table and constraint name together;
// a foreign key without a name stands alone. A foreign key whose referenced
// table is absent still marks its columns. Never fails: missing or
// mistyped members read as empty. Ids are new on every call.
// With excess, a schema whose diagram would pass a file limit (see
// model/filelimits.h) gives an empty object and the limit's sentence there,
// told before anything is built.
QJsonObject convertInspectorJson(const QJsonObject& inspector, QString* excess = nullptr);

// One line for the status bar on what an import of this inspector object
// brings and what it leaves out: "Imported 14 tables and 12 relationships
// from schema sales; 3 foreign keys refer to tables outside schema sales and
// have no edge".
QString inspectorImportSummary(const QJsonObject& inspector);

// The model's dialect for the inspector's dialect code: "postgresql" is
// "PostgreSQL", "oracle" "Oracle", "csv" "CSV files"; any other text is
// returned unchanged.
QString inspectorDialectName(const QString& code);
