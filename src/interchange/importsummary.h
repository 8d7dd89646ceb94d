#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// What an import brought in and what it left out, carried in the diagram
// JSON an importer returns, so that the window can tell the user in one
// status-bar line. The scene does not read the key and never writes it.

inline const QString kImportNotesKey = QStringLiteral("importNotes");

// Adds one short clause ("Imported 3 entities and 2 relationships").
inline void appendImportNote(QJsonObject& diagram, const QString& note)
{
    if (note.isEmpty())
        return;
    QJsonArray notes = diagram.value(kImportNotesKey).toArray();
    notes.append(note);
    diagram.insert(kImportNotesKey, notes);
}

// The clauses of a diagram as one line, "; " between them; empty when
// there are none.
inline QString importNotesLine(const QJsonObject& diagram)
{
    QStringList parts;
    for (const QJsonValue& note : diagram.value(kImportNotesKey).toArray()) {
        if (!note.toString().isEmpty())
            parts.append(note.toString());
    }
    return parts.join(QLatin1String("; "));
}

// "1 entity", "3 entities": count and noun, singular or plural.
inline QString countedNoun(qsizetype count, const char* singular, const char* plural)
{
    return QString::number(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? singular : plural);
}
