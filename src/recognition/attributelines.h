#pragma once

// String rules that turn recognised text into columns and relationships:
// splitting an attribute line, type words, key column names, recognition
// noise, and how strongly an attribute name points at another entity.

#include <QList>
#include <QPair>
#include <QString>

struct RecognizedEntity;

// (name, type) of one attribute line; leading PK/FK/UK markers are dropped.
// A type may follow the name in brackets ("id [uuid]").
QPair<QString, QString> splitAttributeLine(const QString& line);

// A title without the kind of table written after it in brackets
// ("public.users [BASE TABLE]" -> "public.users"); unchanged when nothing
// else would be left.
QString withoutTableKind(const QString& title);

// A row of the counts documentation tools write under a table: parent
// tables, rows and child tables ("< 1 | 1,643 rows | 2 >", "< 1 2 >").
bool isRowCountFooter(const QString& row);

// Whether the token begins with a column type word (int, varchar(40), ...).
bool isColumnTypeWord(const QString& token);

// "id", "id_..." or "..._id", ignoring case and surrounding space.
bool isIdColumnName(const QString& name);

// Lower case, letters and digits only.
QString sanitizeIdentifier(QString text);

// The sanitised name without a trailing "id" and a plural "s".
QString nameStem(QString text);

// Prefix or containment overlap of two names (case-sensitive).
double nameOverlapScore(const QString& a, const QString& b);

// How strongly attributeName refers to the entity with entityTitle and
// those key attributes (name, type).
double foreignKeyMatchScore(const QString& attributeName, const QString& entityTitle,
                            const QList<QPair<QString, QString>>& keyAttributes);

// The best score of a's attributes against b's title: high when a refers
// to b, which makes a the Many side.
double bestForeignKeyScore(const RecognizedEntity& a, const RecognizedEntity& b);

// A run of one repeated letter, which is what strokes or hatching read as.
bool looksLikeLetterNoise(const QString& text);

// The type word a misread token stands for ("biqint" -> "bigint",
// "varchr(40)" -> "varchar(40)"): the nearest word of the list within one
// edit (two for words of six letters and more); the token itself when it
// is a type word already or nothing is that near.
QString nearestColumnTypeWord(const QString& token);

// A recognised attribute row with what is known of column rows: a last
// word near a type word becomes that word, a first word "ld" (also as
// "ld_" or "_ld") the key name "id".
QString settleRecognizedRow(const QString& row);

// A name and a known column type read without the space between them
// ("placed_ondate", "amountdecimal(12,2)") as "name type"; empty when the
// word does not end with a type word after a name of two characters or more.
QString splitGluedColumnType(const QString& word);
