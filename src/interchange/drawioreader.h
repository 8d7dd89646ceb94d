#pragma once

#include "interchange/drawiostyle.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

class QXmlStreamReader;

// Reading draw.io files: plain, multi-page and compressed pages (raw
// deflate, zlib or gzip framing, percent-encoded), Base64 of plain XML and
// escaped XML. Everything lives in the call, so these may run on a worker
// thread; nothing is thrown or logged.

// The attributes of one "object" or "UserObject" element, handed to the
// cell inside it.
struct DrawioObjectAttributes
{
    QString id;
    QString parent;
    QString label; // placeholders already filled
    QString name;
    QString type;
    bool primaryKey = false;
    bool foreignKey = false;
    bool unique = false;
};

// How deep cells and object elements may nest inside each other. Deeper
// elements are skipped whole, so a hostile file cannot exhaust the stack.
constexpr int kMaxDrawioNesting = 256;

// The longest label (in UTF-16 units) that filling the placeholders of an
// object element may make.
constexpr qsizetype kMaxDrawioLabelLength = qsizetype(1) << 20;

// The most cells one file may hold, over all its pages: about a million
// rows of three cells, their tables and relationships. Each cell read costs
// some 200 bytes until the pages are converted.
constexpr qsizetype kMaxDrawioCells = 4000000;

// The most bytes all pages of a file may inflate to together, each page
// within kMaxInflatedPayloadBytes: a file of small compressed pages would
// otherwise be read for minutes.
constexpr qint64 kMaxDrawioInflatedBytes = qint64(256) * 1024 * 1024;

// The largest draw.io file read.
constexpr qint64 kMaxDrawioFileBytes = qint64(256) * 1024 * 1024;

// The space left between the pages of a file, placed side by side.
constexpr double kDrawioPageGap = 200;

// Reads the file at path and converts it to diagram JSON: every page that
// holds tables, each placed beside the page before; without any, the first
// page with cells. The result notes what was read and what was left out.
// Empty on failure, with one sentence in *error (when given).
QJsonObject parseDrawioFile(const QString& path, QString* error);

// The same for the bytes of a file already read.
QJsonObject parseDrawioBytes(const QByteArray& bytes, QString* error);

// Collects the cells of the first "root" element of xml into cells (cleared
// first). True when at least one cell was found; a document broken inside
// "root" keeps the cells read before the break. Stops past kMaxDrawioCells.
bool readDrawioModel(const QByteArray& xml, QList<DrawioCell>& cells);

// Called on an "mxCell" start element: consumes it up to its end and
// appends its record (and those of cells nested in it) to cells.
void readDrawioCell(QXmlStreamReader& reader, QList<DrawioCell>& cells, const QString& defaultParent,
                    const DrawioObjectAttributes& object, int depth = 0);

// Called on an "object" or "UserObject" start element: consumes it up to
// its end, reading the cells inside it with the object's attributes.
void readDrawioObjectElement(QXmlStreamReader& reader, QList<DrawioCell>& cells, const QString& defaultParent,
                             int depth = 0);

// "1", "true" or "yes" in any letter case.
bool parseDrawioBool(const QString& text);

// Each '%' followed by two hexadecimal digits becomes that byte; anything
// else is kept as it is.
QByteArray percentDecodeDrawio(QByteArray bytes);
