#include "interchange/mermaidwriter.h"

#include "interchange/mermaidscanner.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

bool isAsciiLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char32_t c)
{
    return c >= '0' && c <= '9';
}

bool isAsciiWordChar(char32_t c)
{
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '_';
}

bool isWhite(char32_t c)
{
    return (c >= 9 && c <= 13) || c == 32 || c == 133 || c == 160 || (c > 127 && QChar::isSpace(c));
}

void appendCodePoint(QString& out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out.append(QChar(QChar::highSurrogate(c)));
        out.append(QChar(QChar::lowSurrogate(c)));
    } else {
        out.append(QChar(static_cast<char16_t>(c)));
    }
}

// Mermaid's attribute words take non-ASCII characters only from U+00C0 on,
// and the micro sign, which its case-insensitive match folds into that
// range.
bool isAttributeLetterOrNumber(char32_t c)
{
    return isAsciiLetter(c) || isAsciiDigit(c) || c == 0xB5 || (c >= 0xC0 && QChar::isLetterOrNumber(c));
}

// Attribute names and types: white space to '_', letters, digits and
// "()-[]_" kept, everything else dropped. A type keeps its commas too, as
// in decimal(12,2) (white space next to them is dropped), and the tildes
// of a generic such as list~string~ when there are two or more.
QString mapAttributeWord(const QString& text, bool isType)
{
    const bool keepCommas = isType;
    const bool keepTildes = isType && text.count(QLatin1Char('~')) >= 2;
    const QList<uint> points = text.toUcs4();
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < points.size(); ++i) {
        const char32_t c = points.at(i);
        if (isWhite(c)) {
            if (keepCommas) {
                int j = i;
                while (j < points.size() && isWhite(points.at(j)))
                    ++j;
                const bool nextToComma = (j < points.size() && points.at(j) == ',')
                    || (!out.isEmpty() && out.endsWith(QLatin1Char(',')));
                if (nextToComma) {
                    i = j - 1;
                    continue;
                }
            }
            out.append(QLatin1Char('_'));
        } else if (isAttributeLetterOrNumber(c) || c == '(' || c == ')' || c == '-' || c == '[' || c == ']'
                   || c == '_' || (keepCommas && c == ',') || (keepTildes && c == '~')) {
            appendCodePoint(out, c);
        }
    }
    return out;
}

// Mermaid reads a word that begins with PK, FK or UK as a key marker, so
// such a name or type is written between backticks.
QString guardKeyWord(const QString& word)
{
    if (word.size() < 2)
        return word;
    const QString head = word.left(2).toUpper();
    if (head != QLatin1String("PK") && head != QLatin1String("FK") && head != QLatin1String("UK"))
        return word;
    if (word.size() > 2 && isAsciiWordChar(word.at(2).unicode()))
        return word;
    return QLatin1Char('`') + word + QLatin1Char('`');
}

// Mermaid takes a line holding "direction", white space and TB, BT, RL or
// LR for a direction statement, wherever it stands; an invisible zero-width
// space after the word keeps a quoted text from being read so.
QString guardDirectionWords(const QString& text)
{
    static const QRegularExpression pattern = [] {
        // Compiled before any thread matches with it: threads only read it.
        QRegularExpression expression(
            QStringLiteral("(direction)(?=[\\t\\n\\x{0b}\\f\\r \\x{a0}\\x{1680}\\x{2000}-\\x{200a}\\x{2028}"
                           "\\x{2029}\\x{202f}\\x{205f}\\x{3000}\\x{feff}]+(?:tb|bt|rl|lr))"),
            QRegularExpression::CaseInsensitiveOption);
        expression.optimize();
        return expression;
    }();
    if (!text.contains(QLatin1String("direction"), Qt::CaseInsensitive))
        return text;
    QString out = text;
    out.replace(pattern, QStringLiteral("\\1\u200B"));
    return out;
}

// Line breaks and other control characters as spaces: quoted texts stay on
// their line.
QString oneLine(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c.unicode() < 32 || c.unicode() == 0x7F || c == QChar::LineSeparator || c == QChar::ParagraphSeparator
            || c.unicode() == 0x85)
            c = QLatin1Char(' ');
    }
    return out;
}

// A title as the quoted alias of an entity. Mermaid's quoted names hold no
// double quote, '%' or backslash: they become a single quote and the
// full-width percent sign and backslash.
QString quoteMermaidAlias(const QString& title)
{
    QString text = oneLine(title);
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    text.replace(QLatin1Char('%'), QChar(0xFF05));
    text.replace(QLatin1Char('\\'), QChar(0xFF3C));
    return QLatin1Char('"') + guardDirectionWords(text) + QLatin1Char('"');
}

const char* cardinalitySymbol(int card, bool atStart)
{
    switch (card) {
    case 0: return "||";
    case 2: return atStart ? "|o" : "o|";
    case 3: return atStart ? "}o" : "o{";
    default: return atStart ? "}|" : "|{";
    }
}

int cardinalityOf(const QJsonValue& value)
{
    if (!value.isDouble())
        return 1;
    const double d = value.toDouble();
    const int card = static_cast<int>(d);
    return card == d && card >= 0 && card <= 3 ? card : 1;
}

// uniqueMermaidEntityName for many names at once: the counter of each base
// goes on from where it stopped, which gives the same names, since the
// used set only grows.
class IdentifierPool
{
public:
    bool take(const QString& identifier)
    {
        const QString key = identifier.toCaseFolded();
        if (m_used.contains(key))
            return false;
        m_used.insert(key);
        return true;
    }

    QString unique(const QString& base)
    {
        QString candidate = base.isEmpty() ? QStringLiteral("Entity") : base;
        int& n = m_next[base.toCaseFolded()];
        if (n < 2)
            n = 2;
        while (m_used.contains(candidate.toCaseFolded()))
            candidate = base + QLatin1Char('_') + QString::number(n++);
        m_used.insert(candidate.toCaseFolded());
        return candidate;
    }

private:
    QSet<QString> m_used;
    QHash<QString, int> m_next;
};

} // namespace

bool isValidMermaidIdentifier(const QString& text)
{
    if (text.isEmpty())
        return false;
    const QList<uint> points = text.toUcs4();
    const char32_t first = points.first();
    if (!(isAsciiLetter(first) || first == '_' || (first > 127 && QChar::isLetter(first))))
        return false;
    for (const char32_t c : points) {
        if (!(isAsciiLetter(c) || isAsciiDigit(c) || c == '_' || c == '-' || (c > 127 && QChar::isLetterOrNumber(c))))
            return false;
    }

    // Words Mermaid reads as keywords or cardinalities when they begin a
    // name and no letter, digit or '_' follows them.
    static const QStringList leadingWords = {
        QStringLiteral("erDiagram"), QStringLiteral("style"), QStringLiteral("classDef"), QStringLiteral("class"),
        QStringLiteral("subgraph"), QStringLiteral("end"), QStringLiteral("one"), QStringLiteral("many"),
        QStringLiteral("to"),
    };
    for (const QString& word : leadingWords) {
        if (text.startsWith(word, Qt::CaseInsensitive)
            && (text.size() == word.size() || !isAsciiWordChar(text.at(word.size()).unicode())))
            return false;
    }
    // Statement words of Mermaid and of the reader.
    static const QStringList wholeWords = {
        QStringLiteral("direction"), QStringLiteral("accTitle"), QStringLiteral("accDescr"),
    };
    for (const QString& word : wholeWords) {
        if (text.compare(word, Qt::CaseInsensitive) == 0)
            return false;
    }
    // "u-" is Mermaid's parent mark; a name ending in "direction" followed
    // by a line beginning with TB, BT, RL or LR reads as a direction.
    if (text.startsWith(QLatin1String("u-"), Qt::CaseInsensitive)
        || text.endsWith(QLatin1String("direction"), Qt::CaseInsensitive))
        return false;
    // The reader strips emphasis markers around a bare name.
    return cleanMermaidName(text) == text;
}

QString sanitizeMermaidEntityName(const QString& title)
{
    const QList<uint> points = title.trimmed().toUcs4();
    QString result;
    result.reserve(title.size());
    for (const char32_t c : points) {
        if (isAsciiLetter(c) || isAsciiDigit(c) || c == '_' || c == '-')
            appendCodePoint(result, c);
        else if (isWhite(c))
            result.append(QLatin1Char('_'));
        else if (c > 127 && QChar::isLetterOrNumber(c))
            appendCodePoint(result, c);
    }
    int dashes = 0;
    while (dashes < result.size() && result.at(dashes) == QLatin1Char('-'))
        ++dashes;
    result.remove(0, dashes);
    if (result.isEmpty())
        return QStringLiteral("Entity");
    const char32_t first = result.toUcs4().first();
    if (isAsciiDigit(first) || (first > 127 && QChar::category(first) == QChar::Number_DecimalDigit))
        result.prepend(QLatin1Char('e'));
    // A keyword gets a '_' after it; a name that begins with one, or that
    // the reader would clean, an 'e' before it.
    for (const QString& candidate : {result, result + QLatin1Char('_'), QLatin1Char('e') + result}) {
        if (isValidMermaidIdentifier(candidate))
            return candidate;
    }
    return QStringLiteral("Entity");
}

QString uniqueMermaidEntityName(const QString& base, QSet<QString>& used)
{
    QString candidate = base.isEmpty() ? QStringLiteral("Entity") : base;
    for (int n = 2; used.contains(candidate.toCaseFolded()); ++n)
        candidate = base + QLatin1Char('_') + QString::number(n);
    used.insert(candidate.toCaseFolded());
    return candidate;
}

QString sanitizeMermaidAttributeName(const QString& name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return QString();
    QString result = mapAttributeWord(trimmed, false);
    if (result.isEmpty())
        return QString();
    // Mermaid's attribute words begin with a letter or '_'.
    const char32_t first = result.toUcs4().first();
    if (!(isAsciiLetter(first) || first == '_' || (first > 127 && isAttributeLetterOrNumber(first))))
        result.prepend(QLatin1Char('_'));
    return guardKeyWord(result);
}

QString sanitizeMermaidType(const QString& type)
{
    const QString trimmed = type.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("string");
    QString result = mapAttributeWord(trimmed, true);
    if (result.isEmpty())
        return QStringLiteral("string");
    const char32_t first = result.toUcs4().first();
    if (!(isAsciiLetter(first) || (first > 127 && isAttributeLetterOrNumber(first) && QChar::isLetter(first))))
        result.prepend(QLatin1Char('t'));
    return guardKeyWord(result);
}

QString quoteMermaidLabel(const QString& text)
{
    QString label = oneLine(text);
    label.replace(QLatin1Char('"'), QLatin1Char('\''));
    // Mermaid drops "%%{ ... }%%" directives wherever they stand.
    label.replace(QLatin1String("%%{"), QStringLiteral("%\uFF05{"));
    return QLatin1Char('"') + guardDirectionWords(label) + QLatin1Char('"');
}

QString sceneJsonToMermaid(const QJsonObject& sceneJson)
{
    const QJsonArray entities = sceneJson.value(QStringLiteral("entities")).toArray();
    const QJsonArray edges = sceneJson.value(QStringLiteral("edges")).toArray();

    IdentifierPool pool;
    QHash<QString, QString> references;
    QHash<QString, QString> declarations;
    for (const QJsonValue& value : entities) {
        const QJsonObject entity = value.toObject();
        const QString id = entity.value(QStringLiteral("id")).toString();
        if (id.isEmpty())
            continue;
        QString title = entity.value(QStringLiteral("title")).toString().trimmed();
        if (title.isEmpty())
            title = id;
        QString identifier;
        if (isValidMermaidIdentifier(title) && pool.take(title))
            identifier = title;
        else
            identifier = pool.unique(sanitizeMermaidEntityName(title));
        references.insert(id, identifier);
        declarations.insert(id, identifier == title ? identifier
                                                    : identifier + QLatin1Char('[') + quoteMermaidAlias(title)
                                                          + QLatin1Char(']'));
    }

    QString text = QStringLiteral("erDiagram\n");
    for (const QJsonValue& value : entities) {
        const QJsonObject entity = value.toObject();
        const auto declaration = declarations.constFind(entity.value(QStringLiteral("id")).toString());
        if (declaration == declarations.constEnd())
            continue;
        text += QLatin1String("    ") + *declaration;
        const QJsonArray attributes = entity.value(QStringLiteral("attributes")).toArray();
        if (attributes.isEmpty()) {
            text += QLatin1Char('\n');
            continue;
        }
        text += QLatin1String(" {\n");
        for (const QJsonValue& attributeValue : attributes) {
            const QJsonObject attribute = attributeValue.toObject();
            const QString name = sanitizeMermaidAttributeName(attribute.value(QStringLiteral("name")).toString());
            if (name.isEmpty())
                continue;
            QStringList keys;
            if (attribute.value(QStringLiteral("isPrimaryKey")).toBool())
                keys << QStringLiteral("PK");
            if (attribute.value(QStringLiteral("isForeignKey")).toBool())
                keys << QStringLiteral("FK");
            if (attribute.value(QStringLiteral("isUniqueKey")).toBool())
                keys << QStringLiteral("UK");
            text += QLatin1String("        ") + sanitizeMermaidType(attribute.value(QStringLiteral("type")).toString())
                + QLatin1Char(' ') + name;
            if (!keys.isEmpty())
                text += QLatin1Char(' ') + keys.join(QLatin1String(", "));
            text += QLatin1Char('\n');
        }
        text += QLatin1String("    }\n");
    }

    for (const QJsonValue& value : edges) {
        const QJsonObject edge = value.toObject();
        if (edge.value(QStringLiteral("kind")).toString() == QLatin1String("entity-view-edge"))
            continue;
        const auto from = references.constFind(edge.value(QStringLiteral("from")).toString());
        const auto to = references.constFind(edge.value(QStringLiteral("to")).toString());
        if (from == references.constEnd() || to == references.constEnd())
            continue;
        text += QLatin1String("    ") + *from + QLatin1Char(' ')
            + QLatin1String(cardinalitySymbol(cardinalityOf(edge.value(QStringLiteral("startCard"))), true))
            + QLatin1String("--")
            + QLatin1String(cardinalitySymbol(cardinalityOf(edge.value(QStringLiteral("endCard"))), false))
            + QLatin1Char(' ') + *to + QLatin1String(" : ")
            + quoteMermaidLabel(edge.value(QStringLiteral("label")).toString()) + QLatin1Char('\n');
    }
    return text;
}

bool writeMermaidFile(const QJsonObject& sceneJson, const QString& path, QString* error)
{
    const auto fail = [error](const QString& sentence) {
        if (error)
            *error = sentence;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("No destination file was specified."));
    QString text = sceneJsonToMermaid(sceneJson);
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("Could not generate a Mermaid erDiagram."));

    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("md") || suffix == QLatin1String("markdown")) {
        if (!text.endsWith(QLatin1Char('\n')))
            text += QLatin1Char('\n');
        text = QLatin1String("```mermaid\n") + text + QLatin1String("```\n");
    }

    // Written beside the destination and moved over it when complete, so
    // that a failure leaves an existing file as it was.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Could not write the Mermaid file."));
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(QStringLiteral("Could not write the Mermaid file."));
    return true;
}
