// Reads pictures and prints how much of each their truth files say was
// read: score_recognition <picture> [<picture> ...], the truth beside each
// picture under the same name with .json. -v prints every entity read, -l
// every link missed or invented with the boxes at its ends.
// Built on request only (target score_recognition).

#include "recognition/diagramrecognition.h"
#include "recognition/recognitionscore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>

namespace {

QString boxText(const RecognizedDiagram& result, int index)
{
    const QRectF b = result.entities.at(index).box;
    return QStringLiteral("%1[%2,%3 %4x%5]")
        .arg(result.entities.at(index).title)
        .arg(int(b.x()))
        .arg(int(b.y()))
        .arg(int(b.width()))
        .arg(int(b.height()));
}

void printLinks(const RecognizedDiagram& result, const QList<ExpectedEntity>& expected,
                const QList<QPair<int, int>>& joined, const QList<int>& match)
{
    const auto found = [&](int a, int b) {
        return std::any_of(result.links.begin(), result.links.end(), [a, b](const RecognizedLink& l) {
            return (l.from == a && l.to == b) || (l.from == b && l.to == a);
        });
    };
    for (const auto& link : joined) {
        const int a = match.value(link.first, -1), b = match.value(link.second, -1);
        if (a < 0 || b < 0)
            std::printf("  unmatched %s - %s\n", qPrintable(expected.at(link.first).title),
                        qPrintable(expected.at(link.second).title));
        else if (!found(a, b))
            std::printf("  missed %s - %s\n", qPrintable(boxText(result, a)), qPrintable(boxText(result, b)));
    }
    for (const RecognizedLink& l : result.links) {
        const int a = int(match.indexOf(l.from)), b = int(match.indexOf(l.to));
        if (a < 0 || b < 0 || !(joined.contains({a, b}) || joined.contains({b, a})))
            std::printf("  invented %s - %s\n", qPrintable(boxText(result, l.from)), qPrintable(boxText(result, l.to)));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList pictures = app.arguments().mid(1);
    const bool verbose = pictures.removeAll(QStringLiteral("-v")) > 0;
    const bool listLinks = pictures.removeAll(QStringLiteral("-l")) > 0;
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
        QList<int> match;
        const RecognitionScore score = scoreRecognition(result, expected, joined, &match);
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
        if (listLinks)
            printLinks(result, expected, joined, match);
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
