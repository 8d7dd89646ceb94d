// Recognition of SVG drawings: a drawing of about 2 MB with 100 entities
// (rect and text elements) and 2,000 connector paths, a drawing of
// 20,000 x 20,000 units whose rendering for text recognition must stay
// bounded, and 5,000 bare rectangles whose titles are all looked for in the
// rendering. Each is timed from the file to the oriented links; the peak
// memory is that of the whole run.

#include "benchutil.h"

#include "recognition/diagramrecognition.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

const QStringList families{QStringLiteral("Liberation Sans")};

// count entities on a grid, each a box, a header band and rows lines of
// attribute text; paths connectors between grid neighbours, drawn as curves (long
// path data, as drawing programs write them).
QByteArray drawing(int count, int paths, double cell, double width, double height, int padTo, int rows)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + QByteArray::number(width) + "\" height=\""
        + QByteArray::number(height) + "\">\n";
    const int columns = 10;
    for (int i = 0; i < count; ++i) {
        const double x = (i % columns) * cell + 20, y = (i / columns) * cell + 20;
        const QByteArray at = "x=\"" + QByteArray::number(x) + "\" y=\"" + QByteArray::number(y) + "\"";
        svg += "<g><rect " + at + " width=\"180\" height=\"120\" fill=\"#fff\" stroke=\"#000\"/>";
        svg += "<rect " + at + " width=\"180\" height=\"26\" fill=\"#eef\" stroke=\"#000\"/>";
        svg += "<text x=\"" + QByteArray::number(x + 8) + "\" y=\"" + QByteArray::number(y + 18) + "\">table_"
            + QByteArray::number(i + 1) + "</text>";
        for (int r = 0; r < rows; ++r)
            svg += "<text x=\"" + QByteArray::number(x + 8) + "\" y=\"" + QByteArray::number(y + 44 + r * 18)
                + "\">column_" + QByteArray::number(r) + " : int</text>";
        svg += "</g>\n";
    }
    for (int p = 0; p < paths; ++p) {
        const int a = p % count, b = (a + 1) % count;
        const double ax = (a % columns) * cell + 200, ay = (a / columns) * cell + 80 + (p / count) % 40;
        const double bx = (b % columns) * cell + 20, by = (b / columns) * cell + 80 + (p / count) % 40;
        QByteArray d = "M" + QByteArray::number(ax) + "," + QByteArray::number(ay);
        for (int k = 1; k <= 8; ++k) {
            const double t = k / 8.0;
            d += " C" + QByteArray::number(ax + (bx - ax) * (t - 0.08), 'f', 3) + "," + QByteArray::number(ay, 'f', 3)
                + " " + QByteArray::number(ax + (bx - ax) * (t - 0.04), 'f', 3) + "," + QByteArray::number(by, 'f', 3)
                + " " + QByteArray::number(ax + (bx - ax) * t, 'f', 3) + "," + QByteArray::number(ay + (by - ay) * t, 'f', 3);
        }
        svg += "<path fill=\"none\" stroke=\"#333\" d=\"" + d + "\"/>\n";
    }
    while (svg.size() < padTo)
        svg += "<!-- padding to the size of a drawing with styles and metadata -->\n";
    svg += "</svg>\n";
    return svg;
}

// count bare rectangles on a grid of 100 columns.
QByteArray rectangles(int count)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10000\" height=\""
        + QByteArray::number((count / 100 + 1) * 70) + "\">\n";
    for (int i = 0; i < count; ++i)
        svg += "<rect x=\"" + QByteArray::number((i % 100) * 100 + 10) + "\" y=\"" + QByteArray::number((i / 100) * 70 + 10)
            + "\" width=\"80\" height=\"50\" fill=\"none\" stroke=\"#000\"/>\n";
    return svg + "</svg>\n";
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    struct Case
    {
        const char* what;
        QByteArray svg;
        int entities;
        double goalMs;
    };
    const QList<Case> cases{
        {"2 MB drawing, 100 entities, 2,000 paths", drawing(100, 2000, 400, 4000, 4000, 2 * 1024 * 1024, 4), 100, 2000},
        // Without attribute text: the rows are read from the (bounded) rendering.
        {"20,000 x 20,000-unit drawing, 100 entities", drawing(100, 200, 2000, 20000, 20000, 0, 0), 100, 2000},
        {"5,000 rectangles without text", rectangles(5000), 5000, 5000},
    };
    int met = 0;
    for (int i = 0; i < cases.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("drawing%1.svg").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(cases[i].svg) != cases[i].svg.size())
            return 1;
        file.close();
        int found = 0;
        QString error;
        const std::vector<double> ms = timeRuns(3, [&] {
            found = recognizeDiagram(path, &error, families).entities.size();
        });
        const double best = *std::min_element(ms.begin(), ms.end());
        const bool ok = best < cases[i].goalMs && found == cases[i].entities;
        met += ok;
        std::printf("%-44s %5.2f MB  best %8.1f ms (goal under %.0f ms), %d of %d entities found%s\n", cases[i].what,
                    cases[i].svg.size() / 1048576.0, best, cases[i].goalMs, found, cases[i].entities,
                    error.isEmpty() ? "" : qPrintable(QStringLiteral(", ") + error));
    }
    const double peak = peakMiB();
    const bool memoryOk = peak < 500;
    std::printf("peak memory %.0f MiB (goal under 500 MiB)\n", peak);
    const int goals = int(cases.size()) + 1;
    std::printf("goals met: %d of %d%s\n", met + memoryOk, goals, met + memoryOk == goals ? " (all)" : "");
    return 0;
}
