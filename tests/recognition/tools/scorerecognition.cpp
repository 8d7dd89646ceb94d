// Reads pictures and prints how much of each their truth files say was
// read: score_recognition <picture> [<picture> ...], the truth beside each
// picture under the same name with .json. -v prints every entity read.
// Built on request only (target score_recognition).

#include "recognition/diagramrecognition.h"
#include "recognition/recognitionscore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList pictures = app.arguments().mid(1);
    const bool verbose = pictures.removeAll(QStringLiteral("-v")) > 0;
    RecognitionScore total;
    for (const QString& picture : qAsConst(pictures)) {
        const QFileInfo info(picture);
        QList<ExpectedEntity> expected;
        QList<QPair<int, int>> joined;
        if (!readTruth(info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".json"), expected,
                       joined)) {
            std::fprintf(stderr, "%s: no truth\n", qPrintable(picture));
            continue;
        }
        QElapsedTimer timer;
        timer.start();
        QString error;
        const RecognizedDiagram result = recognizeDiagram(picture, &error);
        const RecognitionScore score = scoreRecognition(result, expected, joined);
        std::printf("%s (%lld ms): %s\n", qPrintable(info.fileName()), timer.elapsed(), qPrintable(score.describe()));
        if (verbose) {
            for (const RecognizedEntity& e : result.entities) {
                QStringList names;
                for (const RecognizedAttribute& a : e.attributes)
                    names.append(a.name + QLatin1Char(':') + a.type);
                std::printf("  [%d %d %d %d] %s | %s\n", int(e.box.x()), int(e.box.y()), int(e.box.width()),
                            int(e.box.height()), qPrintable(e.title), qPrintable(names.join(QStringLiteral(", "))));
            }
        }
        total.boxes += score.boxes;
        total.expectedBoxes += score.expectedBoxes;
        total.extraBoxes += score.extraBoxes;
        total.titles += score.titles;
        total.attributes += score.attributes;
        total.expectedAttributes += score.expectedAttributes;
        total.links += score.links;
        total.expectedLinks += score.expectedLinks;
        total.inventedLinks += score.inventedLinks;
        total.characters += score.characters;
        total.charactersRight += score.charactersRight;
    }
    std::printf("all: %s\n", qPrintable(total.describe()));
    return 0;
}
