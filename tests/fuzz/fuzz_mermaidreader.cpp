// fuzz-seeds: mmd md
// fuzz-dictionary: mermaid.dict
//
// The Mermaid reader: a text read into entities and relationships, turned
// into diagram JSON, written back as Mermaid and read again. What was read
// once must read back with as many entities and relationships.

#include "fuzzharness.h"

#include "interchange/mermaidreader.h"
#include "interchange/mermaidtojson.h"
#include "interchange/mermaidwriter.h"

#include <QJsonArray>

void fuzzOneInput(const QByteArray& input)
{
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    if (!parseMermaidText(QString::fromUtf8(input), entities, relationships, nullptr))
        return;
    const QJsonObject diagram = mermaidModelToSceneJson(entities, relationships);
    const QString written = sceneJsonToMermaid(diagram);

    QList<MermaidEntity> again;
    QList<MermaidRelationship> againRelationships;
    if (!parseMermaidText(written, again, againRelationships, nullptr))
        fuzzFailure("written text does not read back", input, written.toUtf8());
    const int edges = diagram.value(QStringLiteral("edges")).toArray().size();
    if (again.size() != entities.size() || againRelationships.size() != edges)
        fuzzFailure("entities or relationships lost in a round trip", input, written.toUtf8());
}
