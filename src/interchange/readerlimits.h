#pragma once

#include "model/filelimits.h"

#include <QLocale>
#include <QString>

// How much the diagram readers take in. A file beyond these is refused
// with one sentence rather than read until the machine runs out of memory;
// every real diagram stays far below them. They are the limits of an opened
// file, so that what an import brings in can also be saved and opened again.

constexpr qsizetype kMaxImportEntities = filelimits::MaxEntities;
constexpr qsizetype kMaxImportRowsPerEntity = filelimits::MaxRowsPerEntity;
constexpr qsizetype kMaxImportRows = filelimits::MaxRows;
constexpr qsizetype kMaxImportEdges = filelimits::MaxEdges;

// The largest Mermaid file read: many times the text of a diagram at the
// limits above, and well below what its reading would make of it.
constexpr qint64 kMaxMermaidFileBytes = qint64(64) * 1024 * 1024;

// "The file is too large to open: it holds over 200,000 rows; at most
// 200,000 are supported." what names the counted things; a count met
// while reading is the count so far, so it says "over".
inline QString tooLargeSentence(qsizetype count, const char* what, qsizetype limit)
{
    const QLocale english(QLocale::English);
    return QStringLiteral("The file is too large to open: it holds over %1 %2; at most %3 are supported.")
        .arg(english.toString(qlonglong(count > limit ? limit : count)), QLatin1String(what),
             english.toString(qlonglong(limit)));
}
