// Peak memory of the Mermaid and draw.io readers against the size of the
// file read: a plain draw.io page of about 60 million characters of table
// cells as the editor draws them, and a Mermaid file of about 30 MB of
// attribute lines. Goal: the peak stays within 20 times the file's size
// (plus what the program holds before reading). Each case runs in a fresh
// process of this program, so that one peak does not hide another.

#include "benchutil.h"

#include "interchange/drawioreader.h"
#include "interchange/mermaidreader.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr double goalFactor = 20;

QByteArray drawioPage(qsizetype characters)
{
    const QByteArray tableStyle = "shape=table;startSize=30;container=1;collapsible=1;childLayout=tableLayout;"
                                  "fixedRows=1;rowLines=0;fontStyle=1;align=center;resizeLast=1;html=1;";
    const QByteArray rowStyle = "shape=tableRow;horizontal=0;startSize=0;swimlaneHead=0;swimlaneBody=0;fillColor=none;"
                                "collapsible=0;dropTarget=0;points=[[0,0.5],[1,0.5]];portConstraint=eastwest;top=0;"
                                "left=0;right=0;bottom=0;html=1;";
    const QByteArray cellStyle = "shape=partialRectangle;connectable=0;fillColor=none;top=0;left=0;bottom=0;right=0;"
                                 "overflow=hidden;whiteSpace=wrap;html=1;";
    QByteArray page = "<mxfile host=\"bench\"><diagram id=\"p\" name=\"Page-1\"><mxGraphModel><root><mxCell id=\"0\"/>"
                      "<mxCell id=\"1\" parent=\"0\"/>";
    page.reserve(characters + 100000);
    for (int t = 0; page.size() < characters; ++t) {
        const QByteArray table = "tbl-" + QByteArray::number(t);
        page += "<mxCell id=\"" + table + "\" value=\"Table_" + QByteArray::number(t) + "\" style=\"" + tableStyle
                + "\" vertex=\"1\" parent=\"1\"><mxGeometry x=\"" + QByteArray::number((t % 60) * 300) + "\" y=\""
                + QByteArray::number((t / 60) * 400) + "\" width=\"250\" height=\"330\" as=\"geometry\"/></mxCell>";
        for (int r = 0; r < 10; ++r) {
            const QByteArray row = table + "-r" + QByteArray::number(r);
            page += "<mxCell id=\"" + row + "\" value=\"\" style=\"" + rowStyle + "\" vertex=\"1\" parent=\"" + table
                    + "\"><mxGeometry y=\"" + QByteArray::number(30 + 30 * r)
                    + "\" width=\"250\" height=\"30\" as=\"geometry\"/></mxCell>";
            page += "<mxCell id=\"" + row + "-k\" value=\"" + (r == 0 ? "PK" : "") + "\" style=\"" + cellStyle
                    + "\" vertex=\"1\" parent=\"" + row + "\"><mxGeometry width=\"40\" height=\"30\" as=\"geometry\"/></mxCell>";
            page += "<mxCell id=\"" + row + "-c\" value=\"column_" + QByteArray::number(r) + " varchar(255)\" style=\""
                    + cellStyle + "\" vertex=\"1\" parent=\"" + row
                    + "\"><mxGeometry x=\"40\" width=\"210\" height=\"30\" as=\"geometry\"/></mxCell>";
        }
    }
    return page + "</root></mxGraphModel></diagram></mxfile>";
}

// A page of a million small boxes and no table: more entities than a
// reader keeps, so it is refused, but only after reading the page.
QByteArray boxesPage(qsizetype characters)
{
    QByteArray page = "<mxfile><diagram name=\"P\"><mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>";
    page.reserve(characters + 1000);
    for (int n = 0; page.size() < characters; ++n)
        page += "<mxCell id=\"c" + QByteArray::number(n) + "\" value=\"x\" vertex=\"1\" parent=\"1\"/>";
    return page + "</root></mxGraphModel></diagram></mxfile>";
}

QByteArray mermaidText(qsizetype characters)
{
    QByteArray text = "erDiagram\n";
    text.reserve(characters + 1000);
    for (int t = 0; text.size() < characters; ++t) {
        text += "    TABLE_" + QByteArray::number(t) + " {\n";
        for (int r = 0; r < 50; ++r)
            text += "        varchar(255) column_" + QByteArray::number(r) + (r == 0 ? " PK\n" : "\n");
        text += "    }\n";
    }
    return text;
}

// In the child: read the file and print "peakMiB baseMiB entities".
int readOne(const QString& kind, const QString& path)
{
    const double base = residentMiB("VmRSS");
    QString error;
    const QJsonObject diagram = kind == QLatin1String("drawio") ? parseDrawioFile(path, &error) : parseMermaidFile(path, &error);
    std::printf("%.1f %.1f %lld\n", residentMiB("VmHWM"), base,
                static_cast<long long>(diagram.value(QLatin1String("entities")).toArray().size()));
    if (diagram.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 3)
        return readOne(arguments.at(1), arguments.at(2));

    QTemporaryDir dir;
    struct Case
    {
        const char* what;
        const char* kind;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"draw.io plain page, 60 M characters of cells", "drawio", drawioPage(60 * 1000 * 1000)},
        {"draw.io plain page, 60 M characters of boxes", "drawio", boxesPage(60 * 1000 * 1000)},
        {"Mermaid, 30 MB of attribute lines", "mermaid", mermaidText(30 * 1000 * 1000)},
    };
    for (const Case& one : cases) {
        const QString path = dir.filePath(QString::fromLatin1(one.kind));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(one.bytes) != one.bytes.size())
            return 1;
        file.close();
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(one.kind), path});
        child.waitForFinished(-1);
        const QStringList figures = QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char(' '));
        const double fileMiB = one.bytes.size() / 1048576.0;
        const double peak = figures.value(0).toDouble() - figures.value(1).toDouble();
        std::printf("%-48s file %7.1f MiB   peak %8.1f MiB   %5.1f x file (goal %.0f x)   %s entities\n", one.what,
                    fileMiB, peak, peak / fileMiB, goalFactor, qPrintable(figures.value(2).trimmed()));
    }
    return 0;
}
