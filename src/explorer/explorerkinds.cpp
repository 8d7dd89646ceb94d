#include "explorer/explorerkinds.h"

#include "diagram/erview.h"

namespace ExplorerKind {

const QString Project = QStringLiteral("project");
const QString Model = QStringLiteral("model");
const QString Tables = QStringLiteral("tables");
const QString Table = QStringLiteral("table");
const QString Views = QStringLiteral("views");
const QString View = QStringLiteral("view");
const QString Relationships = QStringLiteral("relationships");
const QString Relationship = QStringLiteral("relationship");
const QString Sequences = QStringLiteral("sequences");
const QString Sequence = QStringLiteral("sequence");
const QString Diagrams = QStringLiteral("diagrams");
const QString Diagram = QStringLiteral("diagram");
const QString Mappings = QStringLiteral("mappings");
const QString Mapping = QStringLiteral("mapping");
const QString Documents = QStringLiteral("documents");
const QString Document = QStringLiteral("document");

// The type the canvas accepts for drops, spelt once there.
const QString MimeType = QString::fromLatin1(ExplorerMimeType);

bool isDraggable(const QString& kind)
{
    return kind == Table || kind == View;
}

} // namespace ExplorerKind
