#include "recognition/svgpathdata.h"

#include "recognition/recognitiongeometry.h"

#include <QRegularExpression>

#include <cmath>
#include <deque>

namespace {

// One call's state: the subpath being built and where the pen is.
class PathReader
{
public:
    PathReader(const QTransform& transform, SvgShapeLists& shapes, bool filled)
        : m_transform(transform), m_shapes(shapes), m_filled(filled)
    {
    }

    void appendMappedPathPoint(double x, double y)
    {
        m_subpath.append(m_transform.map(QPointF(x, y)));
        m_current = QPointF(x, y);
    }

    void flushSvgSubpath()
    {
        if (m_filled && m_subpath.size() >= 3)
            m_closed = true;
        if (m_subpath.size() >= 2)
            classify();
        m_subpath.clear();
        m_closed = false;
    }

    void close()
    {
        appendMappedPathPoint(m_start.x(), m_start.y());
        m_closed = true;
        flushSvgSubpath();
        m_current = m_start;
    }

    // Runs the current command while the queue holds enough numbers.
    void runCommand(QChar command, std::deque<double>& queue)
    {
        const bool relative = command.isLower();
        const char c = command.toUpper().toLatin1();
        const double ox = relative ? m_current.x() : 0.0;
        const double oy = relative ? m_current.y() : 0.0;
        const auto take = [&queue](int n) {
            QList<double> values;
            for (int i = 0; i < n; ++i) {
                values.append(queue.front());
                queue.pop_front();
            }
            return values;
        };
        const auto need = [&queue](int n) { return int(queue.size()) >= n; };
        switch (c) {
        case 'M':
            if (!need(2))
                return;
            {
                const QList<double> v = take(2);
                flushSvgSubpath();
                m_start = QPointF(ox + v[0], oy + v[1]);
                appendMappedPathPoint(m_start.x(), m_start.y());
                m_command = relative ? QLatin1Char('l') : QLatin1Char('L');
            }
            return;
        case 'L':
        case 'T':
            if (need(2)) {
                const QList<double> v = take(2);
                appendMappedPathPoint(ox + v[0], oy + v[1]);
            }
            return;
        case 'H':
            if (need(1)) {
                const QList<double> v = take(1);
                appendMappedPathPoint(ox + v[0], m_current.y());
            }
            return;
        case 'V':
            if (need(1)) {
                const QList<double> v = take(1);
                appendMappedPathPoint(m_current.x(), oy + v[0]);
            }
            return;
        case 'C':
            if (need(6)) {
                const QList<double> v = take(6);
                appendMappedPathPoint(ox + v[4], oy + v[5]);
            }
            return;
        case 'S':
        case 'Q':
            if (need(4)) {
                const QList<double> v = take(4);
                appendMappedPathPoint(ox + v[2], oy + v[3]);
            }
            return;
        case 'A':
            if (need(7)) {
                const QList<double> v = take(7);
                appendMappedPathPoint(ox + v[5], oy + v[6]);
            }
            return;
        default:
            return; // Z: numbers wait
        }
    }

    QChar m_command = QLatin1Char('M');

private:
    void classify()
    {
        const QRectF b = pointsBoundingRect(m_subpath);
        // A straight open stroke has no area, yet a long one is a
        // connector: open strokes are small only when short both ways.
        const bool small = m_closed ? ((b.width() < 28 && b.height() < 28) || b.width() * b.height() < 350)
                                    : (b.width() < 28 && b.height() < 28);
        if (small && b.width() >= 1.4 && b.width() <= 22 && b.height() >= 3.2 && b.height() <= 22)
            return;
        if (!m_closed) {
            if (small)
                return;
            m_shapes.polylines.append(m_subpath);
            for (int i = 1; i < m_subpath.size(); ++i) {
                const QLineF piece(m_subpath.at(i - 1), m_subpath.at(i));
                if (piece.length() >= 10)
                    m_shapes.segments.append(piece);
            }
            return;
        }
        if (!isRectangleOutline(m_subpath))
            return;
        if (b.width() >= 60 && b.height() >= 36)
            m_shapes.boxes.append(b);
        else if (b.width() >= 50 && b.height() >= 10 && b.height() <= 28)
            m_shapes.headerBands.append(b);
    }

    const QTransform m_transform;
    SvgShapeLists& m_shapes;
    QList<QPointF> m_subpath;
    QPointF m_current;
    QPointF m_start;
    bool m_closed = false;
    const bool m_filled;
};

} // namespace

void parseSvgPathData(const QString& d, const QTransform& transform, SvgShapeLists& shapes, bool filled)
{
    static const QRegularExpression token(
        QStringLiteral("([MmLlHhVvCcSsQqTtAaZz])|[-+]?\\d*\\.?\\d+(?:[eE][-+]?\\d+)?"));
    PathReader reader(transform, shapes, filled);
    std::deque<double> queue;
    QRegularExpressionMatchIterator it = token.globalMatch(d);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedLength(1) > 0) {
            const QChar command = match.captured(1).at(0);
            if (command == QLatin1Char('Z') || command == QLatin1Char('z'))
                reader.close();
            reader.m_command = command;
            continue;
        }
        queue.push_back(match.captured(0).toDouble());
        reader.runCommand(reader.m_command, queue);
    }
    reader.flushSvgSubpath();
}
