#include "details/dialects.h"

#include <QRegularExpression>

#include <iterator>

namespace {

QHash<QString, QStringList> buildDataTypeCatalog()
{
    QHash<QString, QStringList> catalog;
    catalog.reserve(10);
    catalog.insert(QStringLiteral("Conceptual ER"), QStringList());
    catalog.insert(QStringLiteral("CSV files"), QStringList{
        QStringLiteral("INTEGER"), QStringLiteral("REAL"), QStringLiteral("TEXT"),
    });
    catalog.insert(QStringLiteral("Parquet"), QStringList{
        QStringLiteral("BOOLEAN"), QStringLiteral("BSON"), QStringLiteral("BYTE_ARRAY"),
        QStringLiteral("DATE"), QStringLiteral("DECIMAL"), QStringLiteral("DOUBLE"),
        QStringLiteral("ENUM"), QStringLiteral("FIXED_LEN_BYTE_ARRAY"),
        QStringLiteral("FLOAT"), QStringLiteral("FLOAT16"), QStringLiteral("GEOGRAPHY"),
        QStringLiteral("GEOMETRY"), QStringLiteral("INT32"), QStringLiteral("INT64"),
        QStringLiteral("INT96"), QStringLiteral("INT_8"), QStringLiteral("INT_16"),
        QStringLiteral("INT_32"), QStringLiteral("INT_64"), QStringLiteral("INTEGER"),
        QStringLiteral("INTERVAL"), QStringLiteral("JSON"), QStringLiteral("LIST"),
        QStringLiteral("MAP"), QStringLiteral("STRING"), QStringLiteral("TIME"),
        QStringLiteral("TIME_MICROS"), QStringLiteral("TIME_MILLIS"),
        QStringLiteral("TIME_NANOS"), QStringLiteral("TIMESTAMP"),
        QStringLiteral("TIMESTAMP_MICROS"), QStringLiteral("TIMESTAMP_MILLIS"),
        QStringLiteral("TIMESTAMP_NANOS"), QStringLiteral("UINT_8"), QStringLiteral("UINT_16"),
        QStringLiteral("UINT_32"), QStringLiteral("UINT_64"), QStringLiteral("UUID"),
        QStringLiteral("UTF8"), QStringLiteral("VARIANT"),
    });
    catalog.insert(QStringLiteral("Databricks"), QStringList{
        QStringLiteral("ARRAY"), QStringLiteral("BIGINT"), QStringLiteral("BINARY"),
        QStringLiteral("BOOLEAN"), QStringLiteral("BYTE"), QStringLiteral("CHAR"),
        QStringLiteral("DATE"), QStringLiteral("DEC"), QStringLiteral("DECIMAL"),
        QStringLiteral("DOUBLE"), QStringLiteral("FLOAT"), QStringLiteral("GEOGRAPHY"),
        QStringLiteral("GEOMETRY"), QStringLiteral("INT"), QStringLiteral("INTEGER"),
        QStringLiteral("INTERVAL"), QStringLiteral("LONG"), QStringLiteral("MAP"),
        QStringLiteral("NUMERIC"), QStringLiteral("OBJECT"), QStringLiteral("REAL"),
        QStringLiteral("SHORT"), QStringLiteral("SMALLINT"), QStringLiteral("STRING"),
        QStringLiteral("STRUCT"), QStringLiteral("TIME"), QStringLiteral("TIMESTAMP"),
        QStringLiteral("TIMESTAMP_LTZ"), QStringLiteral("TIMESTAMP_NTZ"),
        QStringLiteral("TINYINT"), QStringLiteral("VARCHAR"), QStringLiteral("VARIANT"),
        QStringLiteral("VOID"),
    });
    catalog.insert(QStringLiteral("DuckDB"), QStringList{
        QStringLiteral("ARRAY"), QStringLiteral("BIGINT"), QStringLiteral("BIGNUM"),
        QStringLiteral("BINARY"), QStringLiteral("BIT"), QStringLiteral("BITSTRING"),
        QStringLiteral("BLOB"), QStringLiteral("BOOL"), QStringLiteral("BOOLEAN"),
        QStringLiteral("BPCHAR"), QStringLiteral("BYTEA"), QStringLiteral("CHAR"),
        QStringLiteral("DATE"), QStringLiteral("DATETIME"), QStringLiteral("DECIMAL"),
        QStringLiteral("DOUBLE"), QStringLiteral("ENUM"), QStringLiteral("FLOAT"),
        QStringLiteral("FLOAT4"), QStringLiteral("FLOAT8"), QStringLiteral("GEOMETRY"),
        QStringLiteral("HUGEINT"), QStringLiteral("INT"), QStringLiteral("INT1"),
        QStringLiteral("INT2"), QStringLiteral("INT4"), QStringLiteral("INT8"),
        QStringLiteral("INT16"), QStringLiteral("INT32"), QStringLiteral("INT64"),
        QStringLiteral("INT128"), QStringLiteral("INTEGER"), QStringLiteral("INTERVAL"),
        QStringLiteral("JSON"), QStringLiteral("LIST"), QStringLiteral("LOGICAL"),
        QStringLiteral("LONG"), QStringLiteral("MAP"), QStringLiteral("NUMERIC"),
        QStringLiteral("REAL"), QStringLiteral("SHORT"), QStringLiteral("SIGNED"),
        QStringLiteral("SMALLINT"), QStringLiteral("STRING"), QStringLiteral("STRUCT"),
        QStringLiteral("TEXT"), QStringLiteral("TIME"), QStringLiteral("TIME WITH TIME ZONE"),
        QStringLiteral("TIMESTAMP"), QStringLiteral("TIMESTAMP WITH TIME ZONE"),
        QStringLiteral("TIMESTAMP_MS"), QStringLiteral("TIMESTAMP_NS"),
        QStringLiteral("TIMESTAMP_S"), QStringLiteral("TIMESTAMPTZ"), QStringLiteral("TIMETZ"),
        QStringLiteral("TINYINT"), QStringLiteral("UBIGINT"), QStringLiteral("UHUGEINT"),
        QStringLiteral("UINT8"), QStringLiteral("UINT16"), QStringLiteral("UINT32"),
        QStringLiteral("UINT64"), QStringLiteral("UINT128"), QStringLiteral("UINTEGER"),
        QStringLiteral("UNION"), QStringLiteral("USMALLINT"), QStringLiteral("UTINYINT"),
        QStringLiteral("UUID"), QStringLiteral("VARBINARY"), QStringLiteral("VARCHAR"),
        QStringLiteral("VARIANT"),
    });
    catalog.insert(QStringLiteral("MySQL"), QStringList{
        QStringLiteral("BIGINT"), QStringLiteral("BINARY"), QStringLiteral("BIT"),
        QStringLiteral("BLOB"), QStringLiteral("BOOL"), QStringLiteral("BOOLEAN"),
        QStringLiteral("CHAR"), QStringLiteral("DATE"), QStringLiteral("DATETIME"),
        QStringLiteral("DEC"), QStringLiteral("DECIMAL"), QStringLiteral("DOUBLE"),
        QStringLiteral("DOUBLE PRECISION"), QStringLiteral("ENUM"), QStringLiteral("FIXED"),
        QStringLiteral("FLOAT"), QStringLiteral("GEOMETRY"),
        QStringLiteral("GEOMETRYCOLLECTION"), QStringLiteral("INT"), QStringLiteral("INTEGER"),
        QStringLiteral("JSON"), QStringLiteral("LINESTRING"), QStringLiteral("LONGBLOB"),
        QStringLiteral("LONGTEXT"), QStringLiteral("MEDIUMBLOB"), QStringLiteral("MEDIUMINT"),
        QStringLiteral("MEDIUMTEXT"), QStringLiteral("MULTILINESTRING"),
        QStringLiteral("MULTIPOINT"), QStringLiteral("MULTIPOLYGON"),
        QStringLiteral("NUMERIC"), QStringLiteral("POINT"), QStringLiteral("POLYGON"),
        QStringLiteral("REAL"), QStringLiteral("SET"), QStringLiteral("SMALLINT"),
        QStringLiteral("TEXT"), QStringLiteral("TIME"), QStringLiteral("TIMESTAMP"),
        QStringLiteral("TINYBLOB"), QStringLiteral("TINYINT"), QStringLiteral("TINYTEXT"),
        QStringLiteral("VARBINARY"), QStringLiteral("VARCHAR"), QStringLiteral("VECTOR"),
        QStringLiteral("YEAR"),
    });
    catalog.insert(QStringLiteral("Oracle"), QStringList{
        QStringLiteral("BFILE"), QStringLiteral("BINARY_DOUBLE"),
        QStringLiteral("BINARY_FLOAT"), QStringLiteral("BLOB"), QStringLiteral("BOOLEAN"),
        QStringLiteral("CHAR"), QStringLiteral("CLOB"), QStringLiteral("DATE"),
        QStringLiteral("FLOAT"), QStringLiteral("INTERVAL DAY TO SECOND"),
        QStringLiteral("INTERVAL YEAR TO MONTH"), QStringLiteral("JSON"),
        QStringLiteral("LONG"), QStringLiteral("LONG RAW"), QStringLiteral("NCHAR"),
        QStringLiteral("NCLOB"), QStringLiteral("NUMBER"), QStringLiteral("NVARCHAR2"),
        QStringLiteral("RAW"), QStringLiteral("ROWID"), QStringLiteral("SDO_GEOMETRY"),
        QStringLiteral("TIMESTAMP"), QStringLiteral("TIMESTAMP WITH LOCAL TIME ZONE"),
        QStringLiteral("TIMESTAMP WITH TIME ZONE"), QStringLiteral("UROWID"),
        QStringLiteral("VARCHAR2"), QStringLiteral("VECTOR"), QStringLiteral("XMLTYPE"),
    });
    catalog.insert(QStringLiteral("PostgreSQL"), QStringList{
        QStringLiteral("ARRAY"), QStringLiteral("BIGINT"), QStringLiteral("BIGSERIAL"),
        QStringLiteral("BIT"), QStringLiteral("BIT VARYING"), QStringLiteral("BOOL"),
        QStringLiteral("BOOLEAN"), QStringLiteral("BOX"), QStringLiteral("BYTEA"),
        QStringLiteral("CHAR"), QStringLiteral("CHARACTER"),
        QStringLiteral("CHARACTER VARYING"), QStringLiteral("CIDR"), QStringLiteral("CIRCLE"),
        QStringLiteral("CITEXT"), QStringLiteral("DATE"), QStringLiteral("DATERANGE"),
        QStringLiteral("DATEMULTIRANGE"), QStringLiteral("DECIMAL"),
        QStringLiteral("DOUBLE PRECISION"), QStringLiteral("FLOAT"), QStringLiteral("FLOAT4"),
        QStringLiteral("FLOAT8"), QStringLiteral("GEOGRAPHY"), QStringLiteral("GEOMETRY"),
        QStringLiteral("HSTORE"), QStringLiteral("INET"), QStringLiteral("INT"),
        QStringLiteral("INT2"), QStringLiteral("INT4"), QStringLiteral("INT4RANGE"),
        QStringLiteral("INT4MULTIRANGE"), QStringLiteral("INT8"), QStringLiteral("INT8RANGE"),
        QStringLiteral("INT8MULTIRANGE"), QStringLiteral("INTEGER"),
        QStringLiteral("INTERVAL"), QStringLiteral("JSON"), QStringLiteral("JSONB"),
        QStringLiteral("JSONPATH"), QStringLiteral("LINE"), QStringLiteral("LSEG"),
        QStringLiteral("LTREE"), QStringLiteral("MACADDR"), QStringLiteral("MACADDR8"),
        QStringLiteral("MONEY"), QStringLiteral("NUMERIC"), QStringLiteral("NUMRANGE"),
        QStringLiteral("NUMMULTIRANGE"), QStringLiteral("PATH"), QStringLiteral("PG_LSN"),
        QStringLiteral("PG_SNAPSHOT"), QStringLiteral("POINT"), QStringLiteral("POLYGON"),
        QStringLiteral("REAL"), QStringLiteral("SERIAL"), QStringLiteral("SERIAL2"),
        QStringLiteral("SERIAL4"), QStringLiteral("SERIAL8"), QStringLiteral("SMALLSERIAL"),
        QStringLiteral("SMALLINT"), QStringLiteral("TEXT"), QStringLiteral("TIME"),
        QStringLiteral("TIME WITH TIME ZONE"), QStringLiteral("TIME WITHOUT TIME ZONE"),
        QStringLiteral("TIMESTAMP"), QStringLiteral("TIMESTAMP WITH TIME ZONE"),
        QStringLiteral("TIMESTAMP WITHOUT TIME ZONE"), QStringLiteral("TIMESTAMPTZ"),
        QStringLiteral("TIMETZ"), QStringLiteral("TSRANGE"), QStringLiteral("TSMULTIRANGE"),
        QStringLiteral("TSTZRANGE"), QStringLiteral("TSTZMULTIRANGE"),
        QStringLiteral("TSQUERY"), QStringLiteral("TSVECTOR"), QStringLiteral("TXID_SNAPSHOT"),
        QStringLiteral("UUID"), QStringLiteral("VARBIT"), QStringLiteral("VARCHAR"),
        QStringLiteral("XML"),
    });
    catalog.insert(QStringLiteral("SQLite"), QStringList{
        QStringLiteral("BIGINT"), QStringLiteral("BLOB"), QStringLiteral("BOOLEAN"),
        QStringLiteral("CHARACTER"), QStringLiteral("CLOB"), QStringLiteral("DATE"),
        QStringLiteral("DATETIME"), QStringLiteral("DECIMAL"), QStringLiteral("DOUBLE"),
        QStringLiteral("DOUBLE PRECISION"), QStringLiteral("FLOAT"), QStringLiteral("INT"),
        QStringLiteral("INT2"), QStringLiteral("INT8"), QStringLiteral("INTEGER"),
        QStringLiteral("MEDIUMINT"), QStringLiteral("NATIVE CHARACTER"),
        QStringLiteral("NCHAR"), QStringLiteral("NUMERIC"), QStringLiteral("NVARCHAR"),
        QStringLiteral("REAL"), QStringLiteral("SMALLINT"), QStringLiteral("TEXT"),
        QStringLiteral("TINYINT"), QStringLiteral("UNSIGNED BIG INT"),
        QStringLiteral("VARCHAR"), QStringLiteral("VARYING CHARACTER"),
    });
    catalog.insert(QStringLiteral("SQL Server"), QStringList{
        QStringLiteral("BIGINT"), QStringLiteral("BINARY"), QStringLiteral("BIT"),
        QStringLiteral("CHAR"), QStringLiteral("CURSOR"), QStringLiteral("DATE"),
        QStringLiteral("DATETIME"), QStringLiteral("DATETIME2"),
        QStringLiteral("DATETIMEOFFSET"), QStringLiteral("DECIMAL"), QStringLiteral("FLOAT"),
        QStringLiteral("GEOGRAPHY"), QStringLiteral("GEOMETRY"), QStringLiteral("HIERARCHYID"),
        QStringLiteral("IMAGE"), QStringLiteral("INT"), QStringLiteral("JSON"),
        QStringLiteral("MONEY"), QStringLiteral("NCHAR"), QStringLiteral("NTEXT"),
        QStringLiteral("NUMERIC"), QStringLiteral("NVARCHAR"), QStringLiteral("REAL"),
        QStringLiteral("ROWVERSION"), QStringLiteral("SMALLDATETIME"),
        QStringLiteral("SMALLINT"), QStringLiteral("SMALLMONEY"),
        QStringLiteral("SQL_VARIANT"), QStringLiteral("SYSNAME"), QStringLiteral("TABLE"),
        QStringLiteral("TEXT"), QStringLiteral("TIME"), QStringLiteral("TIMESTAMP"),
        QStringLiteral("TINYINT"), QStringLiteral("UNIQUEIDENTIFIER"),
        QStringLiteral("VARBINARY"), QStringLiteral("VARCHAR"), QStringLiteral("VECTOR"),
        QStringLiteral("XML"),
    });
    return catalog;
}

const QHash<QString, QString>& dialectAliases()
{
    static const QHash<QString, QString> aliases{
        {QStringLiteral("conceptual er"), QStringLiteral("Conceptual ER")},
        {QStringLiteral("conceptual"), QStringLiteral("Conceptual ER")},
        {QStringLiteral("csv files"), QStringLiteral("CSV files")},
        {QStringLiteral("csv"), QStringLiteral("CSV files")},
        {QStringLiteral("parquet"), QStringLiteral("Parquet")},
        {QStringLiteral("databricks"), QStringLiteral("Databricks")},
        {QStringLiteral("duckdb"), QStringLiteral("DuckDB")},
        {QStringLiteral("mysql"), QStringLiteral("MySQL")},
        {QStringLiteral("oracle"), QStringLiteral("Oracle")},
        {QStringLiteral("postgresql"), QStringLiteral("PostgreSQL")},
        {QStringLiteral("postgres"), QStringLiteral("PostgreSQL")},
        {QStringLiteral("sqlite"), QStringLiteral("SQLite")},
        {QStringLiteral("sql server"), QStringLiteral("SQL Server")},
        {QStringLiteral("sqlserver"), QStringLiteral("SQL Server")},
        {QStringLiteral("mssql"), QStringLiteral("SQL Server")},
    };
    return aliases;
}

} // namespace

const QStringList& dialectNames()
{
    static const QStringList names{
        QStringLiteral("Conceptual ER"), QStringLiteral("CSV files"),
        QStringLiteral("Parquet"),       QStringLiteral("Databricks"),
        QStringLiteral("DuckDB"),        QStringLiteral("MySQL"),
        QStringLiteral("Oracle"),        QStringLiteral("PostgreSQL"),
        QStringLiteral("SQLite"),        QStringLiteral("SQL Server"),
    };
    return names;
}

QString normalizeDialect(const QString& dialect)
{
    const QString trimmed = dialect.trimmed();
    const auto it = dialectAliases().constFind(trimmed.toLower());
    if (it != dialectAliases().constEnd())
        return it.value();
    return trimmed;
}

QString defaultKeyType(const QString& dialect)
{
    const QString name = normalizeDialect(dialect);
    if (name == QLatin1String("PostgreSQL") || name == QLatin1String("MySQL")
        || name == QLatin1String("SQL Server") || name == QLatin1String("Databricks")
        || name == QLatin1String("DuckDB"))
        return QStringLiteral("BIGINT");
    if (name == QLatin1String("Oracle"))
        return QStringLiteral("NUMBER");
    if (name == QLatin1String("SQLite") || name == QLatin1String("CSV files"))
        return QStringLiteral("INTEGER");
    if (name == QLatin1String("Parquet"))
        return QStringLiteral("INT64");
    return QStringLiteral("undefined");
}

QString foreignKeyColumnType(const QString& keyType)
{
    QString type = keyType.trimmed();
    // What makes a column generate its values, wherever it starts.
    static const QRegularExpression generating(
        QStringLiteral("\\s+(GENERATED\\b.*|IDENTITY\\b.*|AUTO_INCREMENT\\b.*|AUTOINCREMENT\\b.*|DEFAULT\\b.*)$"),
        QRegularExpression::CaseInsensitiveOption);
    type.remove(generating);
    static const QHash<QString, QString> serials{
        {QStringLiteral("BIGSERIAL"), QStringLiteral("BIGINT")},
        {QStringLiteral("SERIAL8"), QStringLiteral("BIGINT")},
        {QStringLiteral("SERIAL"), QStringLiteral("INTEGER")},
        {QStringLiteral("SERIAL4"), QStringLiteral("INTEGER")},
        {QStringLiteral("SMALLSERIAL"), QStringLiteral("SMALLINT")},
        {QStringLiteral("SERIAL2"), QStringLiteral("SMALLINT")},
    };
    const auto serial = serials.constFind(type.toUpper());
    if (serial != serials.cend())
        return serial.value();
    return type.isEmpty() ? keyType : type;
}

PhysicalOptionList makeOptionList(const OptionText* options, qsizetype count)
{
    PhysicalOptionList list;
    list.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        list.append(PhysicalOption(QString::fromLatin1(options[i].key),
                                   QString::fromLatin1(options[i].label)));
    return list;
}

PhysicalOptionList physicalOptionsForDialect(const QString& dialect)
{
    static constexpr OptionText postgres[] = {
        {"tablespace", "Tablespace"},     {"fillfactor", "Fillfactor"},
        {"unlogged", "Unlogged"},         {"partition_by", "Partition By"},
        {"inherits", "Inherits"},
    };
    static constexpr OptionText mysql[] = {
        {"engine", "Engine"},             {"charset", "Character Set"},
        {"collation", "Collation"},       {"row_format", "Row Format"},
        {"auto_increment", "Auto Increment"},
    };
    static constexpr OptionText oracle[] = {
        {"tablespace", "Tablespace"},     {"pctfree", "Pctfree"},
        {"logging", "Logging"},           {"compression", "Compression"},
    };
    static constexpr OptionText sqlServer[] = {
        {"filegroup", "Filegroup"},       {"data_compression", "Data Compression"},
        {"lock_escalation", "Lock Escalation"},
    };
    static constexpr OptionText sqlite[] = {
        {"without_rowid", "Without Rowid"}, {"strict", "Strict"},
    };
    static constexpr OptionText csv[] = {
        {"delimiter", "Delimiter"},       {"encoding", "Encoding"},
        {"header", "Header"},             {"quote", "Quote"},
    };
    static constexpr OptionText parquet[] = {
        {"compression", "Compression"},   {"row_group_size", "Row Group Size"},
    };
    static constexpr OptionText databricks[] = {
        {"location", "Location"},         {"data_format", "Format"},
        {"partitioned_by", "Partitioned By"}, {"clustered_by", "Clustered By"},
    };

    const QString name = normalizeDialect(dialect);
    if (name == QLatin1String("PostgreSQL"))
        return makeOptionList(postgres, std::size(postgres));
    if (name == QLatin1String("MySQL"))
        return makeOptionList(mysql, std::size(mysql));
    if (name == QLatin1String("Oracle"))
        return makeOptionList(oracle, std::size(oracle));
    if (name == QLatin1String("SQL Server"))
        return makeOptionList(sqlServer, std::size(sqlServer));
    if (name == QLatin1String("SQLite"))
        return makeOptionList(sqlite, std::size(sqlite));
    if (name == QLatin1String("CSV files"))
        return makeOptionList(csv, std::size(csv));
    if (name == QLatin1String("Parquet"))
        return makeOptionList(parquet, std::size(parquet));
    if (name == QLatin1String("Databricks"))
        return makeOptionList(databricks, std::size(databricks));
    return PhysicalOptionList();
}

const QHash<QString, QStringList>& dataTypeCatalog()
{
    static const QHash<QString, QStringList> catalog = buildDataTypeCatalog();
    return catalog;
}

QStringList dataTypesForDialect(const QString& dialect)
{
    const QHash<QString, QStringList>& catalog = dataTypeCatalog();
    return catalog.value(normalizeDialect(dialect));
}
