#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// File work of Save and Open. Both functions touch nothing but their
// arguments, so they may run on the worker thread of the busy indicator;
// neither throws. Failures are logged here with the messages the rest of the
// application and its users know ("Cannot save file:", "Cannot open file:",
// "Invalid JSON file:") and described in one user-facing sentence.

// Outcome of reading a JSON document file.
struct JsonFileRead
{
    bool ok = false;          // the file was read and holds a JSON object
    QJsonObject object;       // that object
    QString errorText;        // why not, for a message box; empty when ok
};

// Writes bytes to path through a temporary file that replaces the target
// only when every byte was written and flushed: on any failure the file that
// was there before stays as it was. Returns false and fills *errorText
// (when given) with the reason: the system's own for a failed write ("File
// too large", "No space left on device"). A path that exists but is no
// regular file (a device node, a pipe, a folder) is refused untouched. A
// file-size limit reached while writing fails the write instead of ending
// the process (SIGXFSZ is ignored from the first call on).
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* errorText = nullptr);

// Reads path and parses it as a JSON document whose top level is an object
// within the limits of model/filelimits.h.
// What is no regular file (a device, a pipe, a folder) is refused unread.
JsonFileRead readJsonObjectFile(const QString& path);
