#pragma once

#include <QJsonObject>
#include <QString>

// Writing a diagram as an uncompressed draw.io file: every entity becomes a
// table shape with one row per attribute, every relationship an
// entity-relation edge with crow's-foot ends, attached to a key row where
// one fits. Pure apart from the file write; safe on a worker thread.

// The whole draw.io document for the diagram JSON; empty when the diagram
// has no entities.
QString sceneJsonToDrawio(const QJsonObject& diagram);

// Converts the diagram and writes it to path (replacing the file only once
// everything was written). False with one sentence in *error (when given)
// on failure; an existing file is then left as it was.
bool writeDrawioFile(const QJsonObject& diagram, const QString& path, QString* error);
