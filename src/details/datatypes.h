#pragma once

#include <QString>

// A column type text split into its base name and its size figures.
// -1 means "not given" for each of the three figures. When hasSize is set,
// either length (non-numeric base) or precision (numeric base, with scale
// only when two figures were given) holds the figures of the text.
struct ParsedDataType
{
    QString baseType;
    int length = -1;
    int precision = -1;
    int scale = -1;
    bool hasSize = false;
};

// True when the trimmed, upper-cased name is one of the types that take a
// precision and a scale (DECIMAL, NUMBER, FLOAT, ...). Integer types are not
// numeric in this sense: their single figure is a display length.
bool isNumericDataType(const QString& typeName);

// Splits "VARCHAR(255)", "NUMBER(10, 2)" and the like. A size part that is
// not recognised (VARCHAR(MAX), VARCHAR(10,2), a figure too large for an int)
// leaves the whole trimmed text as the base with hasSize false.
ParsedDataType parseDataType(const QString& text);

// Builds the display text of a type: figures passed as 0 or more win over the
// figures written in the type text; a size part that parseDataType does not
// recognise is kept exactly as written.
QString formatDataType(const QString& type, int length, int precision, int scale);
