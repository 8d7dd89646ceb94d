#pragma once

// Shared helpers of the routing tests: reading layouts, comparing routes and
// drawing routed layouts as SVG for a look.

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTextStream>

#include <cmath>

namespace routetest {

using Route = QList<QPointF>;

inline QRectF rectFromJson(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    return QRectF(a.at(0).toDouble(), a.at(1).toDouble(), a.at(2).toDouble(), a.at(3).toDouble());
}

inline QPointF pointFromJson(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    return QPointF(a.at(0).toDouble(), a.at(1).toDouble());
}

inline QJsonArray pointToJson(const QPointF& p)
{
    return QJsonArray{p.x(), p.y()};
}

inline Route routeFromJson(const QJsonValue& v)
{
    Route route;
    for (const QJsonValue& p : v.toArray())
        route.append(pointFromJson(p));
    return route;
}

inline QJsonArray routeToJson(const Route& route)
{
    QJsonArray a;
    for (const QPointF& p : route)
        a.append(pointToJson(p));
    return a;
}

inline bool sameRoute(const Route& a, const Route& b, double tolerance)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!(std::abs(a[i].x() - b[i].x()) <= tolerance) || !(std::abs(a[i].y() - b[i].y()) <= tolerance))
            return false;
    }
    return true;
}

inline bool identicalRoute(const Route& a, const Route& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].x() != b[i].x() || a[i].y() != b[i].y())
            return false;
    }
    return true;
}

inline QByteArray describe(const Route& route)
{
    QByteArray text;
    for (const QPointF& p : route)
        text += "(" + QByteArray::number(p.x(), 'g', 17) + ", " + QByteArray::number(p.y(), 'g', 17) + ") ";
    return text;
}

// Writes an SVG of the two end entities (blue), the obstacles (grey) and
// the route (red, slots marked) to path.
inline bool writeLayoutSvg(const QString& path, const QString& title, const QRectF& from,
                           const QRectF& to, const QList<QRectF>& obstacles, const Route& route)
{
    QRectF bounds = from.united(to);
    for (const QRectF& r : obstacles)
        bounds = bounds.united(r);
    for (const QPointF& p : route)
        bounds = bounds.united(QRectF(p, QSizeF(1, 1)));
    bounds.adjust(-40, -60, 40, 40);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" << bounds.x() << ' ' << bounds.y()
        << ' ' << bounds.width() << ' ' << bounds.height() << "\" width=\"" << bounds.width()
        << "\" height=\"" << bounds.height() << "\">\n";
    out << "<rect x=\"" << bounds.x() << "\" y=\"" << bounds.y() << "\" width=\"" << bounds.width()
        << "\" height=\"" << bounds.height() << "\" fill=\"white\"/>\n";
    out << "<text x=\"" << bounds.x() + 8 << "\" y=\"" << bounds.y() + 20
        << "\" font-family=\"sans-serif\" font-size=\"14\">" << title.toHtmlEscaped() << "</text>\n";
    auto box = [&](const QRectF& r, const char* fill, const char* stroke) {
        out << "<rect x=\"" << r.x() << "\" y=\"" << r.y() << "\" width=\"" << r.width()
            << "\" height=\"" << r.height() << "\" fill=\"" << fill << "\" stroke=\"" << stroke
            << "\" fill-opacity=\"0.6\"/>\n";
    };
    for (const QRectF& r : obstacles)
        box(r, "#cccccc", "#666666");
    box(from, "#9ecbff", "#1f5fbf");
    box(to, "#b7f0b1", "#2f8f2f");
    if (!route.isEmpty()) {
        out << "<polyline fill=\"none\" stroke=\"#d01010\" stroke-width=\"2\" points=\"";
        for (const QPointF& p : route)
            out << p.x() << ',' << p.y() << ' ';
        out << "\"/>\n";
        out << "<circle cx=\"" << route.first().x() << "\" cy=\"" << route.first().y()
            << "\" r=\"4\" fill=\"#1f5fbf\"/>\n";
        out << "<circle cx=\"" << route.last().x() << "\" cy=\"" << route.last().y()
            << "\" r=\"4\" fill=\"#2f8f2f\"/>\n";
    }
    out << "</svg>\n";
    return true;
}

} // namespace routetest
