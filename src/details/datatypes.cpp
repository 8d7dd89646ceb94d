#include "details/datatypes.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

const QSet<QString>& numericTypeNames()
{
    static const QSet<QString> names{
        QStringLiteral("NUMBER"),        QStringLiteral("NUMERIC"),
        QStringLiteral("DECIMAL"),       QStringLiteral("DEC"),
        QStringLiteral("FLOAT"),         QStringLiteral("DOUBLE"),
        QStringLiteral("REAL"),          QStringLiteral("MONEY"),
        QStringLiteral("SMALLMONEY"),    QStringLiteral("BINARY_FLOAT"),
        QStringLiteral("BINARY_DOUBLE"), QStringLiteral("DOUBLE PRECISION"),
        QStringLiteral("FIXED"),         QStringLiteral("FLOAT4"),
        QStringLiteral("FLOAT8"),
    };
    return names;
}

const QRegularExpression& singleFigurePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)$"));
    return pattern;
}

const QRegularExpression& figurePairPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)\\s*,\\s*(\\d+)$"));
    return pattern;
}

// A size figure as a non-negative int. Figures that do not fit an int are
// rejected rather than wrapped or zeroed, so that CHAR(99999999999) is kept
// as typed instead of silently becoming CHAR(0).
bool readFigure(QStringView digits, int* value)
{
    bool ok = false;
    const int figure = digits.toInt(&ok, 10);
    if (!ok || figure < 0)
        return false;
    *value = figure;
    return true;
}

} // namespace

bool isNumericDataType(const QString& typeName)
{
    return numericTypeNames().contains(typeName.trimmed().toUpper());
}

namespace {

ParsedDataType parseSizedDataType(const QString& text)
{
    ParsedDataType result;
    const QString trimmed = text.trimmed();
    result.baseType = trimmed;

    if (!trimmed.endsWith(QLatin1Char(')')))
        return result;
    const qsizetype open = trimmed.lastIndexOf(QLatin1Char('('));
    if (open <= 0)
        return result;

    const QString base = trimmed.left(open).trimmed();
    const QString inner = trimmed.mid(open + 1, trimmed.size() - open - 2).trimmed();
    if (base.isEmpty() || inner.isEmpty())
        return result;

    const bool numeric = isNumericDataType(base);

    const QRegularExpressionMatch pair = figurePairPattern().match(inner);
    if (pair.hasMatch()) {
        if (!numeric)
            return result;
        int precision = -1;
        int scale = -1;
        if (!readFigure(pair.capturedView(1), &precision) || !readFigure(pair.capturedView(2), &scale))
            return result;
        result.baseType = base;
        result.hasSize = true;
        result.precision = precision;
        result.scale = scale;
        return result;
    }

    const QRegularExpressionMatch single = singleFigurePattern().match(inner);
    if (single.hasMatch()) {
        int figure = -1;
        if (!readFigure(single.capturedView(1), &figure))
            return result;
        result.baseType = base;
        result.hasSize = true;
        if (numeric)
            result.precision = figure;
        else
            result.length = figure;
    }
    return result;
}

} // namespace

ParsedDataType parseDataType(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.endsWith(QLatin1Char(')'))) {
        ParsedDataType result;
        result.baseType = trimmed;
        return result;
    }
    // The columns of a large schema repeat a few sized types over and over,
    // and each would run the patterns above again.
    thread_local QHash<QString, ParsedDataType> parsed;
    const auto found = parsed.constFind(trimmed);
    if (found != parsed.cend())
        return found.value();
    if (parsed.size() >= 4096)
        parsed.clear();
    const ParsedDataType result = parseSizedDataType(trimmed);
    parsed.insert(trimmed, result);
    return result;
}

QString formatDataType(const QString& type, int length, int precision, int scale)
{
    const ParsedDataType parsed = parseDataType(type);
    // Without a recognised size the base is the whole trimmed text.
    if (!parsed.hasSize && parsed.baseType.contains(QLatin1Char('(')))
        return parsed.baseType;

    const QString& base = parsed.baseType;
    if (base.isEmpty())
        return QString();

    if (isNumericDataType(base)) {
        if (parsed.hasSize) {
            if (precision < 0)
                precision = parsed.precision;
            if (scale < 0)
                scale = parsed.scale;
        }
        if (precision >= 0 && scale >= 0)
            return QStringLiteral("%1(%2,%3)").arg(base, QString::number(precision), QString::number(scale));
        if (precision >= 0)
            return QStringLiteral("%1(%2)").arg(base, QString::number(precision));
        return base;
    }

    if (parsed.hasSize && length < 0)
        length = parsed.length;
    if (length >= 0)
        return QStringLiteral("%1(%2)").arg(base, QString::number(length));
    return base;
}
