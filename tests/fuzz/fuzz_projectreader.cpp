// fuzz-seeds: json
// fuzz-dictionary: readerkeys.dict
//
// The project reader: a project file read into a fresh project, every stored
// diagram brought into step with its model.

#include "fuzzharness.h"

#include "common/readerpasses.h"

void fuzzOneInput(const QByteArray& input)
{
    QJsonObject root;
    if (!readerpasses::parseObject(input, &root))
        return;
    ProjectItem project;
    readerpasses::readProject(root, project);
}
