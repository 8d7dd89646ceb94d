#pragma once

#include <QString>
#include <Qt>

// The vocabulary every Model Explorer row carries. A row keeps its kind as
// text in KindRole, the id of the project, model or object it stands for in
// IdRole (empty for folders) and, on model rows, the model's dialect in
// DialectRole. Plural kinds mark folders, singular kinds objects.
namespace ExplorerKind {

extern const QString Project;
extern const QString Model;
extern const QString Tables;
extern const QString Table;
extern const QString Views;
extern const QString View;
extern const QString Relationships;
extern const QString Relationship;
extern const QString Sequences;
extern const QString Sequence;
extern const QString Diagrams;
extern const QString Diagram;
extern const QString Mappings;
extern const QString Mapping;
extern const QString Documents;
extern const QString Document;

// MIME type of the drag payload {"items": [{"id", "kind"}]} of tables and
// views dragged out of the explorer.
extern const QString MimeType;

enum Role : int {
    KindRole = Qt::UserRole,
    IdRole = Qt::UserRole + 1,
    DialectRole = Qt::UserRole + 2,
};

// True for the kinds that can be dragged onto a diagram: "table" and "view".
bool isDraggable(const QString& kind);

} // namespace ExplorerKind
