#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The SQL dialect catalogue: canonical dialect names and their lower-case
// aliases, the type of a generated key column, the physical table options
// and the data-type names offered per dialect.
//
// Every function that depends on a dialect normalises the text first, so
// callers may hand over whatever they hold ("postgres", " MSSQL ", ...).
// The constant tables are function-local statics built once on first use and
// only read afterwards, so all of this is safe to call from any thread.

// The ten canonical names, in the order the dialect combo box lists them:
// "Conceptual ER", "CSV files", "Parquet", "Databricks", "DuckDB", "MySQL",
// "Oracle", "PostgreSQL", "SQLite", "SQL Server".
const QStringList& dialectNames();

// The canonical name for a dialect text (aliases are matched after trimming
// and lower-casing, inner blanks exactly), or the text trimmed when it names
// no known dialect.
QString normalizeDialect(const QString& dialect);

// Type of a generated key column: "BIGINT", "NUMBER", "INTEGER", "INT64",
// or "undefined" for Conceptual ER and unknown dialects.
QString defaultKeyType(const QString& dialect);

// The type of a foreign-key column that refers to a key of type keyType:
// the key's storage type without what generates its values. SERIAL types
// become their integers (BIGSERIAL and SERIAL8 BIGINT, SERIAL and SERIAL4
// INTEGER, SMALLSERIAL and SERIAL2 SMALLINT), and identity, auto-increment
// and default clauses are dropped; any other type is kept as it is.
QString foreignKeyColumnType(const QString& keyType);

// A physical table option: the key a table stores the value under, and the
// label shown to the user.
using PhysicalOption = QPair<QString, QString>;
using PhysicalOptionList = QList<PhysicalOption>;

struct OptionText
{
    const char* key;
    const char* label;
};

// Builds an option list from Latin-1 (key, label) pairs, in array order.
PhysicalOptionList makeOptionList(const OptionText* options, qsizetype count);

// The physical table options of a dialect, in display order; empty for
// Conceptual ER, DuckDB and unknown dialects. A new list on every call.
PhysicalOptionList physicalOptionsForDialect(const QString& dialect);

// Canonical dialect name -> upper-case type names without sizes, in the order
// they are offered. Ten entries; "Conceptual ER" maps to an empty list.
const QHash<QString, QStringList>& dataTypeCatalog();

// The type names of the dialect a text names, or an empty list.
QStringList dataTypesForDialect(const QString& dialect);
