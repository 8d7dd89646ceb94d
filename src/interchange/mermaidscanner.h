#pragma once

#include <QString>

// The pieces the Mermaid erDiagram reader is made of: each one looks at a
// text from a position (UTF-16 index, moved past what it reads) and never
// fails; at the end of the text they read nothing.

// Passes over white space: 9 to 13, 32, 133, 160 and every other non-ASCII
// space.
void skipMermaidWhitespace(const QString& text, int& pos);
// Passes over white space, "%%" comments to the line end and "%%{ ... }%%"
// directives, in any mix.
void skipMermaidComments(const QString& text, int& pos);
// Passes over a ":::class" suffix after a name (after any comments).
void skipMermaidClassSuffix(const QString& text, int& pos);

// One word of an attribute line: the characters up to white space or a
// double quote, or the text between two backticks (which may hold spaces).
// Empty at the end of the line.
QString readMermaidToken(const QString& text, int& pos);

// An entity name, after any comments: a double-quoted name as written
// (a backslash takes the next character literally), or a bare name up to
// white space, ':', ';', '[', ']', '{', '|', '}' or "..", cleaned with
// cleanMermaidName. quoted, when given, tells which form it was.
QString readMermaidName(const QString& text, int& pos, bool* quoted = nullptr);
// A bare name trimmed, and without emphasis markers ("**", "__", '*', '_',
// backticks) that wrap the whole of it: **ORDER_ITEM** gives ORDER_ITEM,
// while underscores inside a name stay.
QString cleanMermaidName(const QString& name);
// What may follow an entity name: class suffixes and an alias in square
// brackets (quoted: kept as written; bare: cleaned). alias is set only when
// a non-empty one is found.
void readMermaidEntityAlias(const QString& text, int& pos, QString& alias);

// A two-character cardinality such as "||" or "o{" (any side), or the "u"
// parent mark, after any comments. On a match the Cardinality code is
// stored and the position moves past it; otherwise it stays after the
// comments and the result is false.
bool matchMermaidCardinalitySymbol(const QString& text, int& pos, int& cardinality);
// The same for the word forms ("only one", "zero or more", "1+", "many",
// a lone "1", ...), compared without regard to case.
bool matchMermaidWordCardinality(const QString& text, int& pos, int& cardinality);
