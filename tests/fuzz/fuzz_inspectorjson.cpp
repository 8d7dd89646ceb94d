// fuzz-seeds: json
// fuzz-dictionary: inspector.dict
//
// The schema inspector's output: an object converted into diagram JSON,
// which is then loaded onto an offscreen scene and painted.

#include "fuzzharness.h"

#include "common/readerpasses.h"
#include "dbimport/inspectorjson.h"

#include <QJsonDocument>

void fuzzOneInput(const QByteArray& input)
{
    QJsonObject inspector;
    if (!readerpasses::parseObject(input, &inspector))
        return;
    static ERScene& scene = *new ERScene;
    readerpasses::readDiagram(QJsonDocument(convertInspectorJson(inspector)).toJson(QJsonDocument::Compact), scene);
}
