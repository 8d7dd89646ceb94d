// fuzz-seeds: json
// fuzz-dictionary: readerkeys.dict
//
// The diagram reader: a diagram document loaded onto an offscreen scene,
// which is then painted into a small image, grid included.

#include "fuzzharness.h"

#include "common/readerpasses.h"

void fuzzOneInput(const QByteArray& input)
{
    // One scene for the whole run, as the application has; like the
    // application it is never destroyed.
    static ERScene& scene = *new ERScene;
    readerpasses::readDiagram(input, scene);
}
