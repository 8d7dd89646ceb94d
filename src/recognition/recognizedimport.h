#pragma once

// The last step of diagram recognition: the recognised entities loaded
// into the live scene and the recognised links made into edges.

#include <QString>
#include <QStringList>

#include "recognition/glyphrecognition.h"
#include "recognition/recognizeddiagram.h"

class ERScene;

// Recognises the picture at path, replaces the scene's content with the
// entities and adds one edge per linked pair (One at the start, Many at
// the end), marking the matching foreign-key row. False with one sentence
// in error when nothing usable was recognised, or when what was found is
// no diagram (the scene is then left alone). statusLine, when given,
// receives what was read and what could not be (recognitionStatusLine).
bool importRecognizedDiagram(ERScene* scene, const QString& path, QString* error,
                             const QStringList& families = defaultGlyphFamilies(), QString* statusLine = nullptr);

// The second half of importRecognizedDiagram: the scene's content replaced
// by the entities of diagram, then one edge per linked pair; the number of
// edges made.
int loadRecognizedDiagram(ERScene* scene, const RecognizedDiagram& diagram);
