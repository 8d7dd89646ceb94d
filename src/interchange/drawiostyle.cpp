#include "interchange/drawiostyle.h"

#include "details/datatypes.h"
#include "details/dialects.h"

#include "edges/edgepaths.h"

#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <vector>

DrawioCellIndex::DrawioCellIndex(const QList<DrawioCell>& cellList)
    : cells(cellList)
{
    byId.reserve(cells.size());
    children.reserve(cells.size() / 2);
    for (int i = 0; i < cells.size(); ++i) {
        const DrawioCell& cell = cells.at(i);
        byId.insert(cell.id, i);
        if (!cell.edge)
            children[cell.parent].append(i);
    }
}

const DrawioCell* DrawioCellIndex::find(const QString& id) const
{
    const auto it = byId.constFind(id);
    return it == byId.constEnd() ? nullptr : &cells.at(it.value());
}

bool DrawioCellIndex::hasChildren(const QString& id) const
{
    return children.contains(id);
}

QString drawioStyleValue(const QString& style, const QString& key)
{
    QStringView value;
    bool found = false;
    const QStringView all(style);
    for (qsizetype start = 0; start < all.size();) {
        qsizetype end = all.indexOf(QLatin1Char(';'), start);
        if (end < 0)
            end = all.size();
        const QStringView part = all.mid(start, end - start);
        start = end + 1;
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        if (part.left(eq).trimmed() == key) {
            value = part.mid(eq + 1).trimmed();
            found = true;
        }
    }
    return found ? value.toString() : QString();
}

namespace {

char asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char(c - u'A' + 'a') : c < 128 ? char(c) : '\0';
}

// Which of the lower-case ASCII needles occur in text, compared without
// regard to ASCII case; bit i stands for needles[i]. One pass over the text,
// without a lower-cased copy: every cell's style goes through here.
template<size_t N>
unsigned containedNeedles(QStringView text, const char* const (&needles)[N])
{
    unsigned found = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char first = asciiLower(text[i].unicode());
        if (!first)
            continue;
        for (size_t k = 0; k < N; ++k) {
            if ((found >> k) & 1u || needles[k][0] != first)
                continue;
            const char* needle = needles[k] + 1;
            qsizetype j = i + 1;
            while (*needle && j < n && asciiLower(text[j].unicode()) == *needle) {
                ++needle;
                ++j;
            }
            if (!*needle)
                found |= 1u << k;
        }
    }
    return found;
}

} // namespace

DrawioShapeFlags drawioShapeFlags(const QString& style)
{
    DrawioShapeFlags flags;
    const QString shape = drawioStyleValue(style, QStringLiteral("shape")).toLower();
    static const char* const needles[] = {"childlayout=tablelayout", "childlayout=stacklayout", "mxgraph.er.table",
                                          "shape=tablerow", "shape=listitem", "edgelabel", "text;"};
    const unsigned found = containedNeedles(style, needles);
    const auto has = [&](int k) { return (found >> k) & 1u; };

    static const char* const tableShapes[] = {"table", "list", "mxgraph.er.table", "mxgraph.er.entity",
                                              "mxgraph.er.entity2", "swimlane"};
    flags.table = std::any_of(std::begin(tableShapes), std::end(tableShapes),
                              [&](const char* name) { return shape == QLatin1String(name); })
                  || has(0) || has(1) || has(2);
    flags.row = shape == QLatin1String("tablerow") || shape == QLatin1String("listitem") || has(3) || has(4);
    flags.partialRectangle = shape == QLatin1String("partialrectangle");
    flags.relationship = shape.contains(QLatin1String("rhombus")) || shape.contains(QLatin1String("mxgraph.er.association"))
                         || shape.contains(QLatin1String("mxgraph.er.relationship"));
    flags.edgeLabel = has(5) || has(6);
    return flags;
}

bool isDrawioTableShape(const QString& style)
{
    return drawioShapeFlags(style).table;
}

bool isDrawioRowShape(const QString& style)
{
    return drawioShapeFlags(style).row;
}

bool isDrawioPartialRectangle(const QString& style)
{
    return drawioShapeFlags(style).partialRectangle;
}

bool isDrawioRelationshipShape(const QString& style)
{
    return drawioShapeFlags(style).relationship;
}

bool isDrawioEdgeLabel(const QString& style)
{
    return drawioShapeFlags(style).edgeLabel;
}

bool isDrawioRowCell(const DrawioCell& cell, const DrawioCellIndex& index)
{
    if (isDrawioRowShape(cell.style))
        return true;
    return isDrawioPartialRectangle(cell.style) && index.hasChildren(cell.id);
}

bool isDrawioRowCell(const DrawioCell& cell, const QList<DrawioCell>& cells)
{
    if (isDrawioRowShape(cell.style))
        return true;
    if (!isDrawioPartialRectangle(cell.style))
        return false;
    return std::any_of(cells.begin(), cells.end(),
                       [&](const DrawioCell& other) { return !other.edge && other.parent == cell.id; });
}

namespace {

// Length of the tag at pos that ends a block (</p>, </div>, </tr>, </li>,
// </h1> .. </h6>) or breaks a line (<br>, <hr>, with blanks and a slash
// allowed before the '>'); 0 when there is none.
qsizetype lineBreakTagLength(QStringView s, qsizetype pos)
{
    const auto at = [&](qsizetype i) { return i < s.size() ? s.at(i).toLower() : QChar(); };
    if (at(pos + 1) == QLatin1Char('/')) {
        static const char* const blocks[] = {"p", "div", "tr", "li", "h1", "h2", "h3", "h4", "h5", "h6"};
        for (const char* name : blocks) {
            const qsizetype n = qsizetype(qstrlen(name));
            if (s.mid(pos + 2, n).compare(QLatin1String(name), Qt::CaseInsensitive) == 0
                && at(pos + 2 + n) == QLatin1Char('>'))
                return n + 3;
        }
        return 0;
    }
    const QChar first = at(pos + 1);
    if ((first != QLatin1Char('b') && first != QLatin1Char('h')) || at(pos + 2) != QLatin1Char('r'))
        return 0;
    qsizetype i = pos + 3;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    if (at(i) == QLatin1Char('/'))
        ++i;
    return at(i) == QLatin1Char('>') ? i + 1 - pos : 0;
}

// The character an entity reference at pos stands for, and its length;
// length 0 when pos starts no known reference.
std::pair<char32_t, qsizetype> entityAt(QStringView s, qsizetype pos)
{
    static const struct { const char* text; char32_t ch; } named[] = {
        {"&nbsp;", U' '}, {"&amp;", U'&'}, {"&lt;", U'<'}, {"&gt;", U'>'}, {"&quot;", U'"'}, {"&apos;", U'\''},
    };
    for (const auto& entity : named) {
        if (s.mid(pos).startsWith(QLatin1String(entity.text)))
            return {entity.ch, qsizetype(qstrlen(entity.text))};
    }
    if (pos + 1 >= s.size() || s.at(pos + 1) != QLatin1Char('#'))
        return {0, 0};
    // Numeric references: &#10; and &#xa; (any case), and every other code
    // point written that way.
    qsizetype i = pos + 2;
    char32_t base = 10;
    if (i < s.size() && (s.at(i) == QLatin1Char('x') || s.at(i) == QLatin1Char('X'))) {
        base = 16;
        ++i;
    }
    const qsizetype digitsStart = i;
    char32_t code = 0;
    for (; i < s.size() && i - digitsStart < 8; ++i) {
        const char16_t u = s.at(i).unicode();
        char32_t digit = 0;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (base == 16 && u >= u'a' && u <= u'f')
            digit = 10 + (u - u'a');
        else if (base == 16 && u >= u'A' && u <= u'F')
            digit = 10 + (u - u'A');
        else
            break;
        code = code * base + digit;
    }
    if (i == digitsStart || i >= s.size() || s.at(i) != QLatin1Char(';'))
        return {0, 0};
    // Only characters a document may hold: no control characters other than
    // tab, line feed and carriage return, no surrogate halves.
    const bool control = code < 0x20 && code != U'\t' && code != U'\n' && code != U'\r';
    if (control || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF)
        return {0, 0};
    return {code, i + 1 - pos};
}

} // namespace

QString htmlToPlainText(const QString& html)
{
    // Line-breaking tags first, then every other tag, then the entities:
    // each a single pass, so that an escaped reference (&amp;lt;) comes out
    // as the text it stands for (&lt;), not decoded twice.
    QString broken;
    broken.reserve(html.size());
    const QStringView in(html);
    for (qsizetype i = 0; i < in.size();) {
        if (in.at(i) == QLatin1Char('<')) {
            if (const qsizetype n = lineBreakTagLength(in, i)) {
                broken.append(QLatin1Char('\n'));
                i += n;
                continue;
            }
            // The cells of an HTML table row stay apart: "PK" and "id" in
            // two cells read as "PK id", not "PKid".
            const QStringView tag = in.mid(i, 5);
            if (tag.compare(QLatin1String("</td>"), Qt::CaseInsensitive) == 0
                || tag.compare(QLatin1String("</th>"), Qt::CaseInsensitive) == 0) {
                broken.append(QLatin1Char(' '));
                i += 5;
                continue;
            }
        }
        broken.append(in.at(i));
        ++i;
    }

    QString untagged;
    untagged.reserve(broken.size());
    for (qsizetype i = 0; i < broken.size();) {
        if (broken.at(i) == QLatin1Char('<')) {
            const qsizetype close = broken.indexOf(QLatin1Char('>'), i + 1);
            if (close < 0) {
                // No tag can close any more: the rest is text.
                untagged.append(QStringView(broken).mid(i));
                break;
            }
            if (close > i + 1) {
                i = close + 1;
                continue;
            }
        }
        untagged.append(broken.at(i));
        ++i;
    }

    QString text;
    text.reserve(untagged.size());
    for (qsizetype i = 0; i < untagged.size();) {
        const QChar c = untagged.at(i);
        if (c == QLatin1Char('&')) {
            const auto [code, length] = entityAt(untagged, i);
            if (length > 0) {
                const char32_t ch = code == 0x00A0 ? U' ' : code;
                text.append(QString::fromUcs4(&ch, 1));
                i += length;
                continue;
            }
        }
        text.append(c == QChar(0x00A0) ? QChar(QLatin1Char(' ')) : c);
        ++i;
    }
    return text.trimmed();
}

QString drawioCellPlainText(const DrawioCell& cell)
{
    QString text = htmlToPlainText(cell.value);
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

QString drawioLabelText(const QString& label)
{
    const QString text = htmlToPlainText(label);
    const qsizetype feed = text.indexOf(QLatin1Char('\n'));
    return (feed < 0 ? text : text.left(feed)).simplified();
}

void collectDrawioChildTexts(const DrawioCell& cell, const DrawioCellIndex& index, QStringList& texts)
{
    // Depth first without recursion: a pathologically deep page cannot
    // exhaust the stack. Each id is visited once, which ends parent cycles.
    // A row has a handful of descendants, so the visited ids are kept in a
    // short list until there are many.
    QVarLengthArray<QString, 16> visitedList{cell.id};
    QSet<QString> visitedSet;
    const auto visit = [&](const QString& id) {
        if (visitedSet.isEmpty()) {
            if (std::find(visitedList.begin(), visitedList.end(), id) != visitedList.end())
                return false;
            visitedList.append(id);
            if (visitedList.size() > 64)
                visitedSet = QSet<QString>(visitedList.begin(), visitedList.end());
            return true;
        }
        if (visitedSet.contains(id))
            return false;
        visitedSet.insert(id);
        return true;
    };
    QVarLengthArray<int, 32> pending;
    const auto pushChildrenOf = [&](const QString& id) {
        const auto it = index.children.constFind(id);
        if (it == index.children.constEnd())
            return;
        QVarLengthArray<int, 16> kids;
        for (const int k : it.value()) {
            if (index.cells.at(k).id != id)
                kids.append(k);
        }
        std::stable_sort(kids.begin(), kids.end(), [&](int a, int b) {
            const DrawioCell& ca = index.cells.at(a);
            const DrawioCell& cb = index.cells.at(b);
            return ca.y != cb.y ? ca.y < cb.y : ca.x < cb.x;
        });
        for (auto k = kids.crbegin(); k != kids.crend(); ++k)
            pending.append(*k);
    };
    pushChildrenOf(cell.id);
    while (!pending.isEmpty()) {
        const DrawioCell& child = index.cells.at(pending.back());
        pending.removeLast();
        if (!visit(child.id))
            continue;
        const QString text = drawioCellPlainText(child);
        if (!text.isEmpty())
            texts.append(text);
        pushChildrenOf(child.id);
    }
}

void collectDrawioChildTexts(const DrawioCell& cell, const QList<DrawioCell>& cells, QStringList& texts)
{
    collectDrawioChildTexts(cell, DrawioCellIndex(cells), texts);
}

QString drawioRowText(const DrawioCell& row, const DrawioCellIndex& index)
{
    QStringList parts;
    const QString own = drawioCellPlainText(row);
    if (!own.isEmpty())
        parts.append(own);
    collectDrawioChildTexts(row, index, parts);
    return parts.join(QLatin1Char(' '));
}

QString drawioRowText(const DrawioCell& row, const QList<DrawioCell>& cells)
{
    return drawioRowText(row, DrawioCellIndex(cells));
}

namespace {

enum class KeyMarker { None, Primary, Foreign, Unique };

KeyMarker markerOf(QStringView form)
{
    if (form == QLatin1String("PK") || form == QLatin1String("PKEY"))
        return KeyMarker::Primary;
    if (form == QLatin1String("FK") || (form.size() >= 3 && form.startsWith(QLatin1String("FK")) && form.at(2).isDigit()))
        return KeyMarker::Foreign;
    if (form == QLatin1String("UK") || form == QLatin1String("UQ"))
        return KeyMarker::Unique;
    return KeyMarker::None;
}

} // namespace

bool takeDrawioKeyMarkers(const QString& token, DrawioAttribute& attribute)
{
    QString form = token.toUpper();
    while (form.endsWith(QLatin1Char(',')) || form.endsWith(QLatin1Char(')')))
        form.chop(1);
    if (form.startsWith(QLatin1Char('(')))
        form.remove(0, 1);
    // Key columns often hold several markers in one token ("PK,FK1").
    const QList<QStringView> pieces = QStringView(form).split(QLatin1Char(','));
    std::vector<KeyMarker> markers;
    for (const QStringView piece : pieces)
        markers.push_back(markerOf(piece));
    if (std::find(markers.begin(), markers.end(), KeyMarker::None) != markers.end())
        return false;
    for (const KeyMarker marker : markers) {
        attribute.primaryKey |= marker == KeyMarker::Primary;
        attribute.foreignKey |= marker == KeyMarker::Foreign;
        attribute.unique |= marker == KeyMarker::Unique;
    }
    return true;
}

QStringList dropDrawioKeyMarkers(const QString& text, DrawioAttribute& attribute)
{
    QStringList kept;
    for (const QString& token : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!takeDrawioKeyMarkers(token, attribute))
            kept.append(token);
    }
    return kept;
}

namespace {

// A cell's text on one line, its runs of white space one space.
QString oneLine(const QString& text)
{
    QString plain = text;
    plain.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return plain.simplified();
}

} // namespace

DrawioAttribute parseDrawioNameCell(const QString& text, double order)
{
    DrawioAttribute attribute;
    attribute.order = order;
    QString plain = oneLine(text);
    // "name : type" as this program writes it, "name :" for a name that
    // would otherwise be split, else the first colon or space.
    qsizetype split = plain.indexOf(QLatin1String(" : "));
    qsizetype skip = 3;
    if (split < 0 && plain.endsWith(QLatin1String(" :"))) {
        split = plain.size() - 2;
        skip = 2;
    }
    if (split < 0) {
        split = plain.indexOf(QLatin1Char(':'));
        skip = 1;
    }
    if (split < 0)
        split = plain.indexOf(QLatin1Char(' '));
    if (split < 0) {
        attribute.name = plain;
        return attribute;
    }
    attribute.name = plain.left(split).trimmed();
    attribute.type = dropDrawioKeyMarkers(plain.mid(split + skip), attribute).join(QLatin1Char(' '));
    if (attribute.name.isEmpty()) { // ": int" names nothing
        attribute.name = attribute.type;
        attribute.type.clear();
    }
    return attribute;
}

bool isDrawioTypeWord(const QString& text)
{
    static const QSet<QString> words = [] {
        QSet<QString> set;
        for (const QStringList& types : dataTypeCatalog())
            for (const QString& type : types)
                set.insert(type.toUpper());
        for (const char* word : {"STRING", "TEXT", "INT", "INTEGER", "LONG", "SHORT", "BYTE", "NUMBER", "NUMERIC",
                                 "DECIMAL", "FLOAT", "DOUBLE", "REAL", "BOOL", "BOOLEAN", "BIT", "DATE", "TIME",
                                 "DATETIME", "TIMESTAMP", "TIMESTAMPTZ", "UUID", "GUID", "JSON", "JSONB", "XML",
                                 "BLOB", "CLOB", "BINARY", "VARCHAR", "CHAR", "NVARCHAR", "SERIAL", "BIGSERIAL",
                                 "BIGINT", "SMALLINT", "TINYINT", "MONEY", "ENUM", "ARRAY", "OBJECT", "CURRENCY"})
            set.insert(QLatin1String(word));
        return set;
    }();
    QString base = parseDataType(text.trimmed()).baseType.toUpper();
    // "int unsigned", "varchar(20) not null": the first word decides;
    // "text[]" is an array of a type.
    base = base.section(QLatin1Char(' '), 0, 0);
    while (base.endsWith(QLatin1String("[]")))
        base.chop(2);
    const qsizetype paren = base.indexOf(QLatin1Char('('));
    if (paren > 0)
        base.truncate(paren);
    return !base.isEmpty() && words.contains(base);
}

DrawioAttribute parseRowText(const QString& text, double order)
{
    DrawioAttribute attribute;
    attribute.order = order;
    // The text is plain already (the callers take it out of the HTML
    // label); decoding it again would turn "map<string,int>" into "map".
    QString plain = oneLine(text);
    if (plain.isEmpty())
        return attribute;

    const QString joined = dropDrawioKeyMarkers(plain, attribute).join(QLatin1Char(' '));
    qsizetype split = joined.indexOf(QLatin1Char(':'));
    if (split < 0)
        split = joined.indexOf(QLatin1Char(' '));
    if (split < 0) {
        attribute.name = joined;
    } else {
        attribute.name = joined.left(split).trimmed();
        attribute.type = joined.mid(split + 1).trimmed();
    }
    return attribute;
}

int arrowToCardinality(const QString& arrow)
{
    const QString name = arrow.trimmed();
    const auto is = [&](const char* candidate) {
        return name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0;
    };
    if (is("ERzeroToMany") || is("ERmany"))
        return CardinalityZeroOrMany;
    if (is("ERoneToMany") || is("ERmandOneToMany"))
        return CardinalityMany;
    if (is("ERzeroToOne"))
        return CardinalityZeroOrOne;
    return CardinalityOne;
}
