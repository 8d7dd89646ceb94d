#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

// How much one file may bring into the application. Far beyond any real
// diagram or project, and below what would exhaust the machine: on the
// canvas and in the model an attribute row costs about 10 KB (two editable
// text items), an entity about 14 KB and an edge about 25 KB, so that a
// file at the limits takes some 2 to 3 GB once open. Every reader (project and diagram files, the interchange formats,
// image recognition) refuses a file beyond one of these with the sentence of
// tooLargeText, and leaves the open project as it was.
namespace filelimits {

constexpr qint64 MaxEntities = 100000;        // entities of one diagram, tables of one model
constexpr qint64 MaxRowsPerEntity = 100000;   // attribute rows of one entity, columns of one table
constexpr qint64 MaxRows = 200000;            // rows of one diagram, columns of one model
constexpr qint64 MaxEdges = 100000;           // edges of one diagram, relationships of one model
constexpr qint64 MaxAnnotations = 100000;     // text items and groups of one diagram
constexpr qint64 MaxRoutePoints = 1000000;    // stored route points of one diagram
constexpr qint64 MaxInflatedBytes = qint64(64) * 1024 * 1024; // one page once decompressed
// A project or diagram file: several times what the limits above take even
// when written indented, and small enough that reading and parsing it stay
// within a few GB.
constexpr qint64 MaxFileBytes = qint64(512) * 1024 * 1024;
// Characters of one name: a title, a column name, a type, a label. Real
// identifiers stay far below; a longer one is a broken or hostile file.
constexpr qint64 MaxNameLength = 1000;
// Characters of any other text of a file: a note, a comment, a definition.
constexpr qint64 MaxTextLength = 1000000;

// What a limit counts, for the sentence.
enum class Measure {
    Entities,
    RowsInEntity,
    Rows,
    Edges,
    Annotations,
    RoutePoints,
    InflatedBytes,
    FileBytes,
    NameLength,
    TextLength,
};

// The limit of a measure.
qint64 limitOf(Measure measure);

// "The file is too large to open: it holds N rows; at most M are supported."
// and the like for the other measures.
QString tooLargeText(Measure measure, qint64 found);

// "The file is too large to open: it holds N bytes; at most M are
// supported." for a file of found bytes read by a reader that takes at most
// limit.
QString fileBytesText(qint64 found, qint64 limit);

// The one rule of every reader that takes a path, checked before the file
// is opened (opening a pipe waits for a writer; a device such as /dev/zero
// never ends): the sentence for a path that is no regular file (a device, a
// pipe, a socket, a folder) or a regular file of more than maxBytes bytes
// (not checked when maxBytes < 0). Symbolic links are followed. Empty when
// the path may be opened, also when it does not exist: opening then fails
// with the reader's own sentence.
QString fileRefusal(const QString& path, qint64 maxBytes = -1);

// A whole file, read under fileRefusal's rule.
struct FileBytes
{
    QByteArray bytes;
    bool read = false; // opened and read to its end
    QString refusal;   // when refused: fileRefusal's sentence, or the size
                       // one for a file that grew past maxBytes meanwhile
};

// Reads the file at path, never more than maxBytes of it. Neither read nor
// refused: it could not be opened or read.
FileBytes readFileWithin(const QString& path, qint64 maxBytes);

// What a reader found, before it builds anything.
struct Counts
{
    qint64 entities = 0;
    qint64 largestEntityRows = 0;
    qint64 rows = 0;
    qint64 edges = 0;
    qint64 annotations = 0;
    qint64 routePoints = 0;
};

// The sentence for the first limit the counts pass, or an empty string when
// all are kept.
QString excessText(const Counts& counts);

// Counts of a diagram object ("entities" with their "attributes", "edges"
// with their "points", "annotations"), without building anything.
Counts countDiagram(const QJsonObject& diagram);

// The sentence for a diagram object beyond the limits, or empty.
QString diagramExcess(const QJsonObject& diagram);

// The sentence for a project file (the envelope) whose models or whose
// stored diagrams go beyond the limits, or empty. Each model counts its
// tables, columns and relationships; each stored diagram is a diagram.
QString projectExcess(const QJsonObject& envelope);

// The sentence for the first name (a "name", "title", "type", "label",
// "dataType" or "schema" value) longer than MaxNameLength, or other string
// longer than MaxTextLength, anywhere in value; empty when all are kept.
QString textExcess(const QJsonValue& value);

// Either of the two, as the root object of a file says.
QString documentExcess(const QJsonObject& root);

} // namespace filelimits
