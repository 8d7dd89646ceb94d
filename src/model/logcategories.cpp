#include "model/logcategories.h"

Q_LOGGING_CATEGORY(lcScene, "quillmap.scene", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFile, "quillmap.file", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDbImport, "quillmap.dbimport", QtWarningMsg)
