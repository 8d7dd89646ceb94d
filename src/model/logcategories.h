#pragma once

#include <QLoggingCategory>

// Debug channels of the program's ordinary work, off unless switched on
// (QT_LOGGING_RULES="quillmap.*.debug=true"); warnings always print.
//   quillmap.scene     clearing and loading the diagram scene
//   quillmap.file      saving, opening and exporting documents
//   quillmap.dbimport  the schema inspector's progress text
Q_DECLARE_LOGGING_CATEGORY(lcScene)
Q_DECLARE_LOGGING_CATEGORY(lcFile)
Q_DECLARE_LOGGING_CATEGORY(lcDbImport)
