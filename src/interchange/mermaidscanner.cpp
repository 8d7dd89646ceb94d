#include "interchange/mermaidscanner.h"

#include "edges/edgepaths.h"

#include <array>

namespace {

bool isMermaidSpace(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= 9 && u <= 13) || u == 32 || u == 133 || u == 160)
        return true;
    return u > 127 && c.isSpace();
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Whether text holds word at pos, compared without regard to case.
bool startsWithAt(const QString& text, int pos, QLatin1String word)
{
    return QStringView(text).mid(pos).startsWith(word, Qt::CaseInsensitive);
}

bool isConnectorAt(const QString& text, int pos)
{
    const QStringView rest = QStringView(text).mid(pos);
    return rest.startsWith(u"--") || rest.startsWith(u"..") || rest.startsWith(u".-") || rest.startsWith(u"-.");
}

} // namespace

void skipMermaidWhitespace(const QString& text, int& pos)
{
    const int n = text.size();
    while (pos < n && isMermaidSpace(text.at(pos)))
        ++pos;
}

void skipMermaidComments(const QString& text, int& pos)
{
    const int n = text.size();
    for (;;) {
        skipMermaidWhitespace(text, pos);
        if (pos + 1 >= n || text.at(pos) != QLatin1Char('%') || text.at(pos + 1) != QLatin1Char('%'))
            return;
        if (pos + 2 < n && text.at(pos + 2) == QLatin1Char('{')) {
            const int close = text.indexOf(QLatin1String("}%%"), pos);
            pos = close < 0 ? n : close + 3;
        } else {
            const int lineEnd = text.indexOf(QLatin1Char('\n'), pos);
            pos = lineEnd < 0 ? n : lineEnd;
        }
    }
}

void skipMermaidClassSuffix(const QString& text, int& pos)
{
    skipMermaidComments(text, pos);
    const int n = text.size();
    if (pos + 3 > n || QStringView(text).mid(pos, 3) != u":::")
        return;
    pos += 3;
    while (pos < n) {
        const QChar c = text.at(pos);
        if (isMermaidSpace(c) || c == QLatin1Char('[') || c == QLatin1Char('{') || c == QLatin1Char('|')
            || c == QLatin1Char('}') || c == QLatin1Char(':'))
            break;
        if (c == QLatin1Char('.') && pos + 1 < n && text.at(pos + 1) == QLatin1Char('.'))
            break;
        ++pos;
    }
}

QString readMermaidToken(const QString& text, int& pos)
{
    skipMermaidWhitespace(text, pos);
    const int n = text.size();
    if (pos < n && text.at(pos) == QLatin1Char('`')) {
        const int close = text.indexOf(QLatin1Char('`'), pos + 1);
        const int end = close < 0 ? n : close;
        const QString token = text.mid(pos + 1, end - pos - 1);
        pos = close < 0 ? n : close + 1;
        return token;
    }
    const int start = pos;
    while (pos < n && !isMermaidSpace(text.at(pos)) && text.at(pos) != QLatin1Char('"'))
        ++pos;
    return text.mid(start, pos - start);
}

QString readMermaidName(const QString& text, int& pos, bool* quoted)
{
    skipMermaidComments(text, pos);
    const int n = text.size();
    if (quoted)
        *quoted = pos < n && text.at(pos) == QLatin1Char('"');
    if (pos >= n)
        return QString();

    if (text.at(pos) == QLatin1Char('"')) {
        QString name;
        ++pos;
        while (pos < n && text.at(pos) != QLatin1Char('"')) {
            if (text.at(pos) == QLatin1Char('\\') && pos + 1 < n)
                ++pos;
            name.append(text.at(pos));
            ++pos;
        }
        if (pos < n)
            ++pos; // the closing quote
        return name;
    }

    const int start = pos;
    while (pos < n) {
        const QChar c = text.at(pos);
        if (isMermaidSpace(c))
            break;
        switch (c.unicode()) {
        case ':': case ';': case '[': case ']': case '{': case '|': case '}':
            return cleanMermaidName(text.mid(start, pos - start));
        case '.':
            if (pos + 1 < n && text.at(pos + 1) == QLatin1Char('.'))
                return cleanMermaidName(text.mid(start, pos - start));
            break;
        default:
            break;
        }
        ++pos;
    }
    return cleanMermaidName(text.mid(start, pos - start));
}

QString cleanMermaidName(const QString& name)
{
    static const std::array<QLatin1String, 5> markers = {
        QLatin1String("**"), QLatin1String("__"), QLatin1String("*"), QLatin1String("_"), QLatin1String("`")};
    QString cleaned = name.trimmed();
    bool stripped = true;
    while (stripped) {
        stripped = false;
        for (const QLatin1String& marker : markers) {
            if (cleaned.size() > 2 * marker.size() && cleaned.startsWith(marker) && cleaned.endsWith(marker)) {
                cleaned = cleaned.mid(marker.size(), cleaned.size() - 2 * marker.size()).trimmed();
                stripped = true;
                break;
            }
        }
    }
    return cleaned;
}

void readMermaidEntityAlias(const QString& text, int& pos, QString& alias)
{
    skipMermaidClassSuffix(text, pos);
    skipMermaidComments(text, pos);
    const int n = text.size();
    if (pos < n && text.at(pos) == QLatin1Char('[')) {
        ++pos;
        skipMermaidWhitespace(text, pos);
        QString found;
        if (pos < n && text.at(pos) == QLatin1Char('"')) {
            found = readMermaidName(text, pos);
        } else {
            while (pos < n && text.at(pos) != QLatin1Char(']')) {
                if (text.at(pos) == QLatin1Char('\\') && pos + 1 < n)
                    ++pos;
                found.append(text.at(pos));
                ++pos;
            }
            found = cleanMermaidName(found);
        }
        if (!found.isEmpty())
            alias = found;
        skipMermaidWhitespace(text, pos);
        if (pos < n && text.at(pos) == QLatin1Char(']'))
            ++pos;
    }
    skipMermaidClassSuffix(text, pos);
}

bool matchMermaidCardinalitySymbol(const QString& text, int& pos, int& cardinality)
{
    struct Symbol
    {
        char16_t first;
        char16_t second;
        int code;
    };
    static constexpr Symbol symbols[] = {
        {u'|', u'|', CardinalityOne},
        {u'|', u'o', CardinalityZeroOrOne}, {u'o', u'|', CardinalityZeroOrOne},
        {u'}', u'|', CardinalityMany}, {u'|', u'{', CardinalityMany},
        {u'}', u'o', CardinalityZeroOrMany}, {u'o', u'{', CardinalityZeroOrMany},
    };
    skipMermaidComments(text, pos);
    const int n = text.size();
    if (pos + 2 > n)
        return false;
    const char16_t a = text.at(pos).unicode();
    const char16_t b = text.at(pos + 1).unicode();
    for (const Symbol& s : symbols) {
        if (a == s.first && b == s.second) {
            cardinality = s.code;
            pos += 2;
            return true;
        }
    }
    // "u" marks the parent end of a relationship; it stands right before
    // the line and reads as exactly one.
    if ((a == u'u' || a == u'U') && (b == u'.' || b == u'-' || b == u'|')) {
        cardinality = CardinalityOne;
        pos += 1;
        return true;
    }
    return false;
}

bool matchMermaidWordCardinality(const QString& text, int& pos, int& cardinality)
{
    struct Word
    {
        QLatin1String word;
        int code;
    };
    // Longer forms before the shorter ones they begin with.
    static const Word words[] = {
        {QLatin1String("one or zero"), CardinalityZeroOrOne},
        {QLatin1String("zero or one"), CardinalityZeroOrOne},
        {QLatin1String("one or more"), CardinalityMany},
        {QLatin1String("one or many"), CardinalityMany},
        {QLatin1String("zero or more"), CardinalityZeroOrMany},
        {QLatin1String("zero or many"), CardinalityZeroOrMany},
        {QLatin1String("only one"), CardinalityOne},
        {QLatin1String("many(1)"), CardinalityMany},
        {QLatin1String("many(0)"), CardinalityZeroOrMany},
        {QLatin1String("1+"), CardinalityMany},
        {QLatin1String("0+"), CardinalityZeroOrMany},
        {QLatin1String("one"), CardinalityOne},
        {QLatin1String("many"), CardinalityZeroOrMany},
    };
    skipMermaidComments(text, pos);
    const int n = text.size();
    for (const Word& w : words) {
        const int end = pos + w.word.size();
        if (end <= n && startsWithAt(text, pos, w.word) && (end == n || !isWordChar(text.at(end)))) {
            cardinality = w.code;
            pos = end;
            return true;
        }
    }
    if (pos < n && text.at(pos) == QLatin1Char('1')
        && (pos + 1 == n || isMermaidSpace(text.at(pos + 1)) || text.at(pos + 1) == QLatin1Char(':')
            || isConnectorAt(text, pos + 1))) {
        cardinality = CardinalityOne;
        pos += 1;
        return true;
    }
    return false;
}
