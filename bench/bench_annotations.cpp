// Prints how long text items and group frames take to be placed, to write and
// read their JSON objects, and to be painted for an export (text as glyph
// outlines), for diagrams with growing numbers of annotations.

#include "benchutil.h"

#include "app/applicationsetup.h"
#include "diagram/erscene.h"
#include "diagram/textitem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonObject>
#include <QPainter>
#include <QTextStream>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpApplication();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

    BenchGoals goals("bench_annotations");
    QTextStream out(stdout);
    out << "texts  groups  add_ms  write_ms  read_ms  export_paint_ms\n";
    for (int texts : {100, 1000, 5000}) {
        const int groups = texts / 4;
        ERScene scene;
        QElapsedTimer timer;

        timer.start();
        for (int i = 0; i < texts; ++i) {
            TextItem* t = scene.addTextAt(QPointF((i % 50) * 160, (i / 50) * 40));
            t->setText(QStringLiteral("Annotation number %1").arg(i));
        }
        for (int i = 0; i < groups; ++i)
            scene.addGroupAt(QPointF((i % 25) * 320, (i / 25) * 200));
        const qint64 addMs = timer.elapsed();

        // Through the scene's own diagram writer and reader, as a save and
        // a load of the diagram run them.
        timer.restart();
        const QJsonObject written = scene.toJson();
        const qint64 writeMs = timer.elapsed();

        ERScene copy;
        timer.restart();
        copy.loadFromJson(written);
        const qint64 readMs = timer.elapsed();

        // Painted without a widget, as PDF and SVG export paint.
        QImage image(2000, 1500, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        copy.setGridVisible(false);
        timer.restart();
        QPainter painter(&image);
        copy.render(&painter, QRectF(), copy.itemsBoundingRect());
        painter.end();
        const qint64 paintMs = timer.elapsed();

        out << texts << "  " << groups << "  " << addMs << "  " << writeMs << "  " << readMs << "  " << paintMs
            << "\n";
        out.flush();
        if (texts == 5000) {
            goals.under("5,000 texts and 1,250 groups: add", addMs, 150, "ms", 0);
            goals.under("5,000 texts and 1,250 groups: write", writeMs, 200, "ms", 0);
            goals.under("5,000 texts and 1,250 groups: read", readMs, 500, "ms", 0);
            goals.under("5,000 texts and 1,250 groups: export paint", paintMs, 1000, "ms", 0);
        }
    }
    return goals.finish();
}
