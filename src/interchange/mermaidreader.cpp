#include "interchange/mermaidreader.h"

#include "edges/edgepaths.h"
#include "interchange/importsummary.h"
#include "interchange/mermaidscanner.h"
#include "interchange/readerlimits.h"
#include "interchange/mermaidtojson.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <utility>

namespace {

// Entity look-up by folded identifier and title, so that a large diagram
// does not compare every name with every entity. Answers as
// findMermaidEntity and findOrAddMermaidEntity do.
class EntityTable
{
public:
    explicit EntityTable(QList<MermaidEntity>& entities)
        : m_entities(entities)
    {
    }

    int find(const QString& name) const
    {
        const QString key = name.toCaseFolded();
        const auto byId = m_byIdentifier.constFind(key);
        if (byId != m_byIdentifier.constEnd())
            return *byId;
        const auto byTitle = m_byTitle.constFind(key);
        return byTitle != m_byTitle.constEnd() && !byTitle->isEmpty() ? byTitle->first() : -1;
    }

    int findOrAdd(const QString& name, const QString& alias)
    {
        const QString key = name.isEmpty() ? alias : name;
        if (key.isEmpty())
            return -1;
        int index = find(key);
        if (index < 0) {
            index = m_entities.size();
            m_entities.append(MermaidEntity{key, alias.isEmpty() ? key : alias, {}});
            m_byIdentifier.insert(key.toCaseFolded(), index);
            addTitle(m_entities.last().title, index);
            return index;
        }
        MermaidEntity& entity = m_entities[index];
        if (!alias.isEmpty()
            && (entity.title.isEmpty() || entity.title.compare(entity.identifier, Qt::CaseInsensitive) == 0)) {
            QList<int>& old = m_byTitle[entity.title.toCaseFolded()];
            old.removeOne(index);
            entity.title = alias;
            addTitle(alias, index);
        }
        return index;
    }

private:
    void addTitle(const QString& title, int index)
    {
        QList<int>& list = m_byTitle[title.toCaseFolded()];
        auto at = std::lower_bound(list.begin(), list.end(), index);
        list.insert(at, index);
    }

    QList<MermaidEntity>& m_entities;
    QHash<QString, int> m_byIdentifier; // the first entity of each identifier
    QHash<QString, QList<int>> m_byTitle; // entities in list order
};

// An expression compiled once, before any thread matches with it, so that
// the threads only read it.
QRegularExpression compiled(const QString& pattern)
{
    QRegularExpression expression(pattern, QRegularExpression::CaseInsensitiveOption);
    expression.optimize();
    return expression;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// A leading "---" block of YAML front matter removed; unclosed, the text
// stays whole.
QString withoutFrontMatter(const QString& text)
{
    if (!text.startsWith(QLatin1String("---")))
        return text;
    const int close = text.indexOf(QLatin1String("\n---"), 3);
    if (close < 0)
        return text;
    int from = close + 4;
    if (from < text.size() && text.at(from) == QLatin1Char('\n'))
        ++from;
    return text.mid(from);
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

void skipBlanksInLine(const QString& text, int& pos)
{
    while (pos < text.size() && text.at(pos) != QLatin1Char('\n') && text.at(pos).isSpace())
        ++pos;
}

int lineEndFrom(const QString& text, int pos)
{
    const int end = text.indexOf(QLatin1Char('\n'), pos);
    return end < 0 ? text.size() : end;
}

// "direction" followed by white space and TB, BT, RL or LR.
bool isDirectionAt(const QString& text, int pos)
{
    if (!QStringView(text).mid(pos).startsWith(u"direction", Qt::CaseInsensitive))
        return false;
    int p = pos + 9;
    if (p >= text.size() || !text.at(p).isSpace())
        return false;
    skipMermaidWhitespace(text, p);
    const QStringView value = QStringView(text).mid(p, 2);
    for (const char16_t* dir : {u"TB", u"BT", u"RL", u"LR"}) {
        if (value.compare(QStringView(dir), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool matchConnector(const QString& text, int& pos, bool* identifying)
{
    skipMermaidComments(text, pos);
    const QStringView rest = QStringView(text).mid(pos);
    for (const char16_t* word : {u"optionally to", u"to"}) {
        const QStringView w(word);
        if (rest.startsWith(w, Qt::CaseInsensitive) && (rest.size() == w.size() || !isWordChar(rest.at(w.size())))) {
            pos += w.size();
            *identifying = w.size() == 2;
            return true;
        }
    }
    for (const char16_t* line : {u"--", u"..", u".-", u"-."}) {
        if (rest.startsWith(QStringView(line))) {
            pos += 2;
            *identifying = line[0] == u'-' && line[1] == u'-';
            return true;
        }
    }
    return false;
}

bool matchCardinality(const QString& text, int& pos, int& cardinality)
{
    return matchMermaidCardinalitySymbol(text, pos, cardinality) || matchMermaidWordCardinality(text, pos, cardinality);
}

bool isKeyToken(const QString& token)
{
    const QStringList parts = token.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part.compare(QLatin1String("PK"), Qt::CaseInsensitive) != 0
            && part.compare(QLatin1String("FK"), Qt::CaseInsensitive) != 0
            && part.compare(QLatin1String("UK"), Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

// One attribute from pos: type, name, key markers, comment.
bool readAttribute(const QString& line, int& pos, MermaidAttribute& attribute)
{
    const int n = line.size();
    skipMermaidWhitespace(line, pos);
    if (pos >= n || line.at(pos) == QLatin1Char('}') || line.at(pos) == QLatin1Char('"'))
        return false;
    attribute = MermaidAttribute();
    attribute.type = readMermaidToken(line, pos);
    attribute.name = readMermaidToken(line, pos);
    if (attribute.type.isEmpty() || attribute.name.isEmpty())
        return false;
    if (attribute.name.startsWith(QLatin1Char('*'))) {
        attribute.isPrimaryKey = true;
        attribute.name.remove(0, 1);
    }
    for (;;) {
        skipMermaidWhitespace(line, pos);
        if (pos >= n || line.at(pos) == QLatin1Char('"'))
            break;
        const int tokenStart = pos;
        const QString token = readMermaidToken(line, pos);
        if (token.isEmpty() || !isKeyToken(token)) {
            pos = tokenStart; // the next attribute of the line
            break;
        }
        for (const QString& key : token.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString upper = key.toUpper();
            if (upper == QLatin1String("PK"))
                attribute.isPrimaryKey = true;
            else if (upper == QLatin1String("FK"))
                attribute.isForeignKey = true;
            else
                attribute.isUniqueKey = true;
        }
    }
    if (pos < n && line.at(pos) == QLatin1Char('"')) {
        const int close = line.indexOf(QLatin1Char('"'), pos + 1);
        pos = close < 0 ? n : close + 1;
    }
    return !attribute.name.isEmpty();
}

enum class Keyword { None, AccTitle, AccDescr, LineStatement, End };

Keyword keywordOf(const QString& name)
{
    const auto is = [&name](const char* word) { return name.compare(QLatin1String(word), Qt::CaseInsensitive) == 0; };
    if (is("accTitle"))
        return Keyword::AccTitle;
    if (is("accDescr"))
        return Keyword::AccDescr;
    if (is("style") || is("classDef") || is("class") || is("subgraph"))
        return Keyword::LineStatement;
    if (is("end"))
        return Keyword::End;
    return Keyword::None;
}

// Whether an entity block or a relationship follows, so that a keyword is
// taken as an entity name after all.
bool entityStatementFollows(const QString& text, int pos)
{
    if (pos < text.size() && text.at(pos) == QLatin1Char('{'))
        return true;
    int card = 0;
    int p = pos;
    return matchCardinality(text, p, card);
}

void readBlock(const QString& body, int& pos, QList<MermaidAttribute>* attributes)
{
    const int n = body.size();
    QString line;
    bool inQuote = false;
    const auto flush = [&]() {
        if (attributes)
            attributes->append(parseMermaidAttributes(line));
        line.clear();
        inQuote = false;
    };
    while (pos < n) {
        const QChar c = body.at(pos);
        if (c == QLatin1Char('}') && !inQuote)
            break;
        if (c == QLatin1Char('\n')) {
            flush();
            ++pos;
            skipMermaidComments(body, pos);
            continue;
        }
        if (!inQuote && c == QLatin1Char('%') && pos + 1 < n && body.at(pos + 1) == QLatin1Char('%')) {
            pos = lineEndFrom(body, pos);
            continue;
        }
        if (c == QLatin1Char('"'))
            inQuote = !inQuote;
        line.append(c);
        ++pos;
    }
    flush();
    if (pos < n && body.at(pos) == QLatin1Char('}'))
        ++pos;
}

QString readLabel(const QString& body, int& pos)
{
    const int n = body.size();
    if (pos >= n || body.at(pos) != QLatin1Char(':'))
        return QString();
    ++pos;
    skipBlanksInLine(body, pos);
    if (pos < n && body.at(pos) == QLatin1Char('"')) {
        ++pos;
        int end = pos;
        while (end < n && body.at(end) != QLatin1Char('"') && body.at(end) != QLatin1Char('\n'))
            ++end;
        const QString label = body.mid(pos, end - pos);
        pos = end < n && body.at(end) == QLatin1Char('"') ? end + 1 : end;
        return label.trimmed();
    }
    const int end = lineEndFrom(body, pos);
    const QString label = body.mid(pos, end - pos);
    pos = end;
    return label.trimmed();
}

bool isManySide(int card)
{
    return card == CardinalityMany || card == CardinalityZeroOrMany;
}

bool isOneSide(int card)
{
    return card == CardinalityOne || card == CardinalityZeroOrOne;
}

} // namespace

namespace {

// False (with the sentence in error) when a reader holds more entities or
// relationships than it may keep.
bool withinLimits(const QList<MermaidEntity>& entities, const QList<MermaidRelationship>& relationships,
                  QString* error)
{
    if (entities.size() > kMaxImportEntities) {
        setError(error, tooLargeSentence(entities.size(), "entities", kMaxImportEntities));
        return false;
    }
    if (relationships.size() > kMaxImportEdges) {
        setError(error, tooLargeSentence(relationships.size(), "relationships", kMaxImportEdges));
        return false;
    }
    return true;
}

// What one erDiagram body holds, read into entities and relationships of
// its own. False (with the sentence in error) when the body holds more than
// a reader may keep.
bool readDiagramBody(const QString& body, QList<MermaidEntity>& entities,
                     QList<MermaidRelationship>& relationships, qsizetype rowsBefore, QString* error)
{
    const int n = body.size();
    int pos = 0;
    skipMermaidComments(body, pos);
    pos += 9; // "erDiagram"

    EntityTable table(entities);
    qsizetype rows = rowsBefore;
    for (;;) {
        skipMermaidComments(body, pos);
        if (pos >= n)
            break;
        if (!withinLimits(entities, relationships, error))
            return false;
        if (isDirectionAt(body, pos)) {
            pos = lineEndFrom(body, pos);
            continue;
        }

        const int start = pos;
        bool quoted = false;
        const QString left = readMermaidName(body, pos, &quoted);
        if (left.isEmpty()) {
            if (pos == start)
                ++pos; // a stray character such as '}', '|' or ':'
            continue;
        }
        const int afterName = pos;
        const Keyword keyword = quoted ? Keyword::None : keywordOf(left);
        if (keyword == Keyword::AccTitle || keyword == Keyword::AccDescr) {
            int p = pos;
            skipBlanksInLine(body, p);
            if (p < n && body.at(p) == QLatin1Char(':')) {
                pos = lineEndFrom(body, p);
                continue;
            }
            if (keyword == Keyword::AccDescr && p < n && body.at(p) == QLatin1Char('{')) {
                const int close = body.indexOf(QLatin1Char('}'), p);
                pos = close < 0 ? n : close + 1;
                continue;
            }
        }

        QString leftAlias;
        readMermaidEntityAlias(body, pos, leftAlias);
        skipMermaidComments(body, pos);

        if ((keyword == Keyword::LineStatement || keyword == Keyword::End) && !entityStatementFollows(body, pos)) {
            if (keyword == Keyword::LineStatement)
                pos = lineEndFrom(body, afterName);
            continue;
        }

        if (pos < n && body.at(pos) == QLatin1Char('{')) {
            const int index = table.findOrAdd(left, leftAlias);
            ++pos;
            QList<MermaidAttribute>* attributes = index >= 0 ? &entities[index].attributes : nullptr;
            const qsizetype before = attributes ? attributes->size() : 0;
            readBlock(body, pos, attributes);
            if (attributes) {
                rows += attributes->size() - before;
                if (attributes->size() > kMaxImportRowsPerEntity) {
                    setError(error, tooLargeSentence(attributes->size(), "rows in one entity",
                                                     kMaxImportRowsPerEntity));
                    return false;
                }
                if (rows > kMaxImportRows) {
                    setError(error, tooLargeSentence(rows, "rows", kMaxImportRows));
                    return false;
                }
            }
            continue;
        }

        // A relationship, or a bare entity name.
        const int cardinalityStart = pos;
        int leftCard = CardinalityMany;
        if (!matchCardinality(body, pos, leftCard)) {
            table.findOrAdd(left, leftAlias);
            continue;
        }
        bool identifying = true;
        if (!matchConnector(body, pos, &identifying)) {
            // Not a relationship after all: what looked like a cardinality
            // is read again as the next statement (a name such as "one-x").
            table.findOrAdd(left, leftAlias);
            pos = cardinalityStart;
            continue;
        }
        int rightCard = CardinalityMany;
        if (!matchCardinality(body, pos, rightCard)) {
            // A line left unfinished: the next statement begins after it.
            table.findOrAdd(left, leftAlias);
            continue;
        }
        const QString right = readMermaidName(body, pos);
        if (right.isEmpty()) {
            table.findOrAdd(left, leftAlias);
            continue;
        }
        QString rightAlias;
        readMermaidEntityAlias(body, pos, rightAlias);
        skipMermaidComments(body, pos);
        const QString label = readLabel(body, pos);

        int a = table.findOrAdd(left, leftAlias);
        int b = table.findOrAdd(right, rightAlias);
        // The one side of a one-to-many relationship comes first.
        if (isManySide(leftCard) && isOneSide(rightCard)) {
            std::swap(a, b);
            std::swap(leftCard, rightCard);
        }
        MermaidRelationship relationship{entities.at(a).title, entities.at(b).title, leftCard, rightCard, label, a, b};
        relationship.identifying = identifying;
        relationships.append(relationship);
    }
    return withinLimits(entities, relationships, error);
}

// The erDiagram bodies of a text: the text itself, or its fenced Markdown
// blocks whose diagram is an erDiagram (blocks of other diagram types are
// counted in skipped). Each body begins at its "erDiagram" keyword.
QStringList diagramBodies(const QString& text, int* skipped)
{
    static const QRegularExpression keyword = compiled(QStringLiteral("\\berDiagram\\b"));
    // Fences are lines of their own, as in Markdown: backticks inside a
    // label or an alias neither open nor close one.
    static const QRegularExpression fence = compiled(
        QStringLiteral("(?m)^[ \\t]*```(?:mermaid|erDiagram)[^\\n]*\\n([\\s\\S]*?)(?:^[ \\t]*```|\\z)"));
    QStringList bodies;
    QString firstFenced;
    bool anyFence = false;
    QRegularExpressionMatchIterator blocks = fence.globalMatch(text);
    while (blocks.hasNext()) {
        // A block is a diagram of its own, which may have front matter too.
        const QString block = withoutFrontMatter(blocks.next().captured(1));
        if (!anyFence)
            firstFenced = block;
        anyFence = true;
        int pos = 0;
        skipMermaidComments(block, pos);
        if (QStringView(block).mid(pos, 9).compare(u"erDiagram", Qt::CaseInsensitive) == 0
            && (pos + 9 >= block.size() || !isWordChar(block.at(pos + 9))))
            bodies.append(block.mid(pos));
        else
            ++*skipped;
    }
    if (!bodies.isEmpty())
        return bodies;
    // No block opens with the keyword: the first block, or the text without
    // fences, read from wherever the keyword stands.
    const QString& source = anyFence ? firstFenced : text;
    const QRegularExpressionMatch found = keyword.match(source);
    if (found.hasMatch()) {
        bodies.append(source.mid(found.capturedStart()));
        *skipped = 0;
    }
    return bodies;
}

} // namespace

bool parseMermaidText(const QString& input, QList<MermaidEntity>& entities,
                      QList<MermaidRelationship>& relationships, QString* error, MermaidReadInfo* info)
{
    entities.clear();
    relationships.clear();

    QString text = input;
    text.remove(QChar(0xFEFF));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text = withoutFrontMatter(text);

    int skipped = 0;
    const QStringList bodies = diagramBodies(text, &skipped);
    if (bodies.isEmpty()) {
        setError(error, QStringLiteral("No Mermaid erDiagram was found in the file."));
        return false;
    }

    // Every block into one diagram: an entity named in several blocks is
    // one entity, whose attributes are joined by name; a relationship that
    // an earlier block stated already is not added again, while repeats
    // inside one block stay.
    QSet<QString> earlierRelationships;
    QHash<QString, int> byIdentifier; // folded identifier -> entity
    qsizetype rows = 0;
    for (const QString& body : bodies) {
        QList<MermaidEntity> blockEntities;
        QList<MermaidRelationship> blockRelationships;
        if (!readDiagramBody(body, blockEntities, blockRelationships, rows, error)) {
            entities.clear();
            relationships.clear();
            return false;
        }
        if (bodies.size() == 1) {
            entities = std::move(blockEntities);
            relationships = std::move(blockRelationships);
            break;
        }
        QList<int> indexOf;
        indexOf.reserve(blockEntities.size());
        for (const MermaidEntity& entity : std::as_const(blockEntities)) {
            const QString key = entity.identifier.toCaseFolded();
            const auto known = byIdentifier.constFind(key);
            if (known == byIdentifier.constEnd()) {
                indexOf.append(int(entities.size()));
                byIdentifier.insert(key, int(entities.size()));
                entities.append(entity);
                rows += entity.attributes.size();
                continue;
            }
            indexOf.append(*known);
            MermaidEntity& merged = entities[*known];
            // An alias given in any block is kept.
            if (merged.title.compare(merged.identifier, Qt::CaseInsensitive) == 0)
                merged.title = entity.title;
            QSet<QString> names;
            for (const MermaidAttribute& attribute : std::as_const(merged.attributes))
                names.insert(attribute.name.toCaseFolded());
            for (const MermaidAttribute& attribute : entity.attributes) {
                if (!names.contains(attribute.name.toCaseFolded())) {
                    merged.attributes.append(attribute);
                    ++rows;
                }
            }
        }
        if (entities.size() > kMaxImportEntities) {
            setError(error, tooLargeSentence(entities.size(), "entities", kMaxImportEntities));
            entities.clear();
            return false;
        }
        QSet<QString> thisBlock;
        for (MermaidRelationship relationship : std::as_const(blockRelationships)) {
            relationship.fromIndex = indexOf.at(relationship.fromIndex);
            relationship.toIndex = indexOf.at(relationship.toIndex);
            relationship.from = entities.at(relationship.fromIndex).title;
            relationship.to = entities.at(relationship.toIndex).title;
            const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6")
                                    .arg(relationship.fromIndex)
                                    .arg(relationship.toIndex)
                                    .arg(relationship.fromCardinality)
                                    .arg(relationship.toCardinality)
                                    .arg(relationship.identifying ? 1 : 0)
                                    .arg(relationship.label);
            if (earlierRelationships.contains(key))
                continue;
            thisBlock.insert(key);
            relationships.append(relationship);
        }
        if (relationships.size() > kMaxImportEdges) {
            setError(error, tooLargeSentence(relationships.size(), "relationships", kMaxImportEdges));
            entities.clear();
            relationships.clear();
            return false;
        }
        earlierRelationships.unite(thisBlock);
    }

    if (entities.isEmpty()) {
        setError(error, QStringLiteral("The Mermaid file does not define any ER entities."));
        return false;
    }
    if (info) {
        info->blocks = int(bodies.size());
        info->skippedBlocks = skipped;
    }
    return true;
}

QJsonObject parseMermaidFile(const QString& path, QString* error)
{
    // A pipe or a device is refused unopened, as is a file beyond the limit.
    filelimits::FileBytes file = filelimits::readFileWithin(path, kMaxMermaidFileBytes);
    if (!file.read) {
        setError(error, file.refusal.isEmpty() ? QStringLiteral("Could not open the Mermaid file.") : file.refusal);
        return QJsonObject();
    }
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    MermaidReadInfo info;
    {
        // The text goes before the conversion: with it, a large file
        // would be held three times over.
        const QString text = QString::fromUtf8(std::exchange(file.bytes, QByteArray()));
        if (!parseMermaidText(text, entities, relationships, error, &info))
            return QJsonObject();
    }
    const qsizetype entityCount = entities.size();
    QJsonObject diagram = mermaidModelToSceneJson(std::move(entities), relationships);
    QString note = QStringLiteral("Imported %1 and %2")
                       .arg(countedNoun(entityCount, "entity", "entities"),
                            countedNoun(relationships.size(), "relationship", "relationships"));
    if (info.blocks > 1)
        note += QStringLiteral(" from %1 diagram blocks").arg(info.blocks);
    appendImportNote(diagram, note);
    if (info.skippedBlocks > 0)
        appendImportNote(diagram, QStringLiteral("%1 of other diagram types not read")
                                      .arg(countedNoun(info.skippedBlocks, "block", "blocks")));
    return diagram;
}

int findMermaidEntity(const QList<MermaidEntity>& entities, const QString& name)
{
    for (int i = 0; i < entities.size(); ++i) {
        if (entities.at(i).identifier.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    for (int i = 0; i < entities.size(); ++i) {
        if (entities.at(i).title.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int findOrAddMermaidEntity(QList<MermaidEntity>& entities, const QString& name, const QString& alias)
{
    const QString key = name.isEmpty() ? alias : name;
    if (key.isEmpty())
        return -1;
    const int index = findMermaidEntity(entities, key);
    if (index < 0) {
        entities.append(MermaidEntity{key, alias.isEmpty() ? key : alias, {}});
        return entities.size() - 1;
    }
    MermaidEntity& entity = entities[index];
    if (!alias.isEmpty()
        && (entity.title.isEmpty() || entity.title.compare(entity.identifier, Qt::CaseInsensitive) == 0))
        entity.title = alias;
    return index;
}

QList<MermaidAttribute> parseMermaidAttributes(const QString& line)
{
    QList<MermaidAttribute> attributes;
    int pos = 0;
    MermaidAttribute attribute;
    while (readAttribute(line, pos, attribute))
        attributes.append(attribute);
    return attributes;
}
