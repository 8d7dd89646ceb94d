#include "recognition/attributelines.h"

#include "recognition/glyphrecognition.h"
#include "recognition/recognizeddiagram.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace {

const QStringList& columnTypeWords()
{
    static const QStringList words = {
        QStringLiteral("int"),       QStringLiteral("integer"),      QStringLiteral("bigint"),
        QStringLiteral("smallint"),  QStringLiteral("tinyint"),      QStringLiteral("uuid"),
        QStringLiteral("guid"),      QStringLiteral("serial"),       QStringLiteral("bigserial"),
        QStringLiteral("text"),      QStringLiteral("varchar"),      QStringLiteral("nvarchar"),
        QStringLiteral("char"),      QStringLiteral("string"),       QStringLiteral("bool"),
        QStringLiteral("boolean"),   QStringLiteral("bit"),          QStringLiteral("date"),
        QStringLiteral("time"),      QStringLiteral("datetime"),     QStringLiteral("timestamp"),
        QStringLiteral("timestamptz"), QStringLiteral("numeric"),    QStringLiteral("decimal"),
        QStringLiteral("float"),     QStringLiteral("double"),       QStringLiteral("real"),
        QStringLiteral("money"),     QStringLiteral("json"),         QStringLiteral("jsonb"),
        QStringLiteral("xml"),       QStringLiteral("blob"),         QStringLiteral("bytea"),
        QStringLiteral("unknown_type"), QStringLiteral("unknown"),   QStringLiteral("undefined"),
    };
    return words;
}

const QList<QRegularExpression>& separatorPatterns()
{
    static const QList<QRegularExpression> patterns = {
        QRegularExpression(QStringLiteral("\\s*:\\s*")),
        QRegularExpression(QStringLiteral("\\s*\\|\\s*")),
        QRegularExpression(QStringLiteral("\\s{2,}")),
    };
    return patterns;
}

} // namespace

QPair<QString, QString> splitAttributeLine(const QString& text)
{
    QString line = cleanRecognizedText(text);
    for (const QLatin1String marker : {QLatin1String("PK "), QLatin1String("FK "), QLatin1String("UK ")}) {
        if (line.startsWith(marker, Qt::CaseInsensitive))
            line = line.mid(3).trimmed();
    }
    // A key icon drawn before the name reads as a stray letter or stroke
    // ("m customer_id bigint", "e- id uuid"): a first word of one letter,
    // or of no letter at all, before a name and a type is no name.
    static const QRegularExpression iconWord(QStringLiteral("^(?:[A-Za-z]|[^A-Za-z0-9\\s|]*[A-Za-z]?[^A-Za-z0-9\\s|]+)\\s+(?=[A-Za-z_]\\S*\\s+\\S)"));
    line.remove(iconWord);
    // Documentation tools write the type in brackets after the name:
    // "created_at [timestamp without time zone]".
    static const QRegularExpression bracketed(QStringLiteral("^([^\\[\\]]*\\S)\\s+\\[(.*\\S.*)\\]$"));
    const QRegularExpressionMatch inBrackets = bracketed.match(line);
    if (inBrackets.hasMatch()) {
        QString name = inBrackets.captured(1);
        while (!name.isEmpty() && (name.endsWith(QLatin1Char('|')) || name.back().isSpace()))
            name.chop(1);
        if (!name.isEmpty())
            return {name, inBrackets.captured(2).trimmed()};
    }
    const QList<QRegularExpression>& separators = separatorPatterns();
    for (int s = 0; s < separators.size(); ++s) {
        // Table cells come joined by bars: stray bars and colons at the ends
        // of a part belong to no name or type.
        QStringList parts;
        for (const QString& part : line.split(separators.at(s), Qt::SkipEmptyParts)) {
            int from = 0, to = int(part.size());
            while (from < to && (part.at(from).isSpace() || part.at(from) == QLatin1Char('|') || part.at(from) == QLatin1Char(':')))
                ++from;
            while (to > from && (part.at(to - 1).isSpace() || part.at(to - 1) == QLatin1Char('|') || part.at(to - 1) == QLatin1Char(':')))
                --to;
            if (to > from)
                parts.append(part.mid(from, to - from));
        }
        if (parts.size() < 2)
            continue;
        // Ruled tables may put the type in the first column: type | name | keys.
        if (s == 1 && isColumnTypeWord(parts.at(0)) && !isColumnTypeWord(parts.at(1)))
            return {parts.at(1).trimmed(), parts.at(0).trimmed()};
        return {parts.first().trimmed(), parts.mid(1).join(QLatin1Char(' ')).trimmed()};
    }
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // A word with its size in brackets is a type, known or not: "int4[10]",
    // "mpaa_rating[2147483647]", "numeric[5,2]".
    static const QRegularExpression sized(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*\\[\\d+(,\\d+)?\\]$"));
    if (words.size() >= 2 && (isColumnTypeWord(words.last()) || sized.match(words.last()).hasMatch()))
        return {words.mid(0, words.size() - 1).join(QLatin1Char(' ')), words.last()};
    // Some tools write the type first: type name [keys] [comment].
    if (words.size() >= 2 && isColumnTypeWord(words.first()) && !isColumnTypeWord(words.at(1)))
        return {words.at(1), words.first()};
    return {line, QString()};
}

QString withoutTableKind(const QString& title)
{
    static const QRegularExpression kind(QStringLiteral("\\s*\\|?\\s*\\[[A-Za-z][A-Za-z ]*\\]$"));
    const QString bare = QString(title).remove(kind).trimmed();
    return bare.isEmpty() ? title : bare;
}

bool isRowCountFooter(const QString& row)
{
    static const QRegularExpression footer(QStringLiteral(
        "^(<\\s*\\d[\\d,.]*)?\\s*(\\d[\\d,. ]*\\s*rows?)?\\s*(\\d[\\d,.]*\\s*>)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString bare = cleanRecognizedText(QString(row).replace(QLatin1Char('|'), QLatin1Char(' ')));
    if (bare.isEmpty())
        return false;
    const QRegularExpressionMatch match = footer.match(bare);
    if (match.hasMatch() && (match.capturedLength(1) > 0 || match.capturedLength(2) > 0 || match.capturedLength(3) > 0))
        return true;
    // Read from a picture: the angle brackets are no letters of the
    // templates, and digits and the o of "rows" may be misread; a count of
    // rows between short marks is still the footer.
    static const QRegularExpression readCount(QStringLiteral(
        "^[^A-Za-z]{0,6}[A-Za-z]?[^A-Za-z]*\\b[\\dZOoSl][\\dZOoSl,.]*\\s*r[a-z]?ws?\\b[^A-Za-z]*[A-Za-z]?[^A-Za-z]{0,6}$"));
    return readCount.match(bare).hasMatch();
}

bool isColumnTypeWord(const QString& token)
{
    const QString t = token.trimmed().toLower();
    for (const QString& word : columnTypeWords()) {
        if (t == word || t.startsWith(word + QLatin1Char('(')) || (word.size() > 2 && t.startsWith(word)))
            return true;
    }
    return false;
}

bool isIdColumnName(const QString& name)
{
    const QString t = name.trimmed().toLower();
    return t == QLatin1String("id") || t.startsWith(QLatin1String("id_")) || t.endsWith(QLatin1String("_id"));
}

QString sanitizeIdentifier(QString text)
{
    text = text.toLower();
    QString out;
    out.reserve(text.size());
    for (const QChar c : qAsConst(text)) {
        const ushort u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || (u > 127 && c.isLetterOrNumber()))
            out.append(c);
    }
    return out;
}

QString nameStem(QString text)
{
    QString t = sanitizeIdentifier(std::move(text));
    if (t.endsWith(QLatin1String("id")) && t.size() > 2)
        t.chop(2);
    if (t.endsWith(QLatin1Char('s')) && t.size() > 4)
        t.chop(1);
    return t;
}

double nameOverlapScore(const QString& a, const QString& b)
{
    if (b.startsWith(a) || a.startsWith(b))
        return std::min(a.size(), b.size());
    if ((b.contains(a) && a.size() > 3) || (a.contains(b) && b.size() >= 4))
        return 8;
    return 0;
}

double foreignKeyMatchScore(const QString& attributeName, const QString& entityTitle,
                            const QList<QPair<QString, QString>>& keyAttributes)
{
    const QString a = nameStem(attributeName);
    const auto pair = [](const QString& x, const QString& y) -> double {
        if (x.size() <= 2 || y.size() <= 2)
            return 0;
        if (x == y)
            return 12;
        return nameOverlapScore(x, y);
    };
    double score = pair(a, nameStem(entityTitle));
    for (const auto& key : keyAttributes)
        score = std::max(score, pair(a, nameStem(key.first)));
    const QString sanitized = sanitizeIdentifier(attributeName);
    if (sanitized.endsWith(QLatin1String("id")) && sanitized.size() > 2)
        score += 2;
    return score;
}

double bestForeignKeyScore(const RecognizedEntity& a, const RecognizedEntity& b)
{
    double best = 0;
    for (const RecognizedAttribute& attribute : a.attributes)
        best = std::max(best, foreignKeyMatchScore(attribute.name, b.title, {}));
    return best;
}

bool looksLikeLetterNoise(const QString& text)
{
    QSet<QChar> distinct;
    int letters = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool letter = (u < 128) ? ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) : c.isLetter();
        if (!letter)
            continue;
        ++letters;
        distinct.insert(c.toLower());
    }
    return letters >= 4 && distinct.size() < 2;
}

namespace {

int editDistance(const QString& a, const QString& b)
{
    std::vector<int> row(static_cast<size_t>(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[static_cast<size_t>(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int above = row[static_cast<size_t>(j)];
            row[static_cast<size_t>(j)] = std::min({above + 1, row[static_cast<size_t>(j) - 1] + 1,
                                                    diagonal + (a.at(i - 1) == b.at(j - 1) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[static_cast<size_t>(b.size())];
}

// A key column name read with its i as an l: "ld", "ld_x", "x_ld".
QString settleIdName(QString name)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("ld"))
        return QStringLiteral("id");
    if (lower.startsWith(QLatin1String("ld_")))
        name.replace(0, 2, QStringLiteral("id"));
    if (lower.endsWith(QLatin1String("_ld")))
        name.replace(name.size() - 2, 2, QStringLiteral("id"));
    return name;
}

} // namespace

QString nearestColumnTypeWord(const QString& token)
{
    if (token.isEmpty() || isColumnTypeWord(token))
        return token;
    // The word itself, then what follows it: a size in parentheses or a
    // width in digits ("varchar(40)", "int4").
    int end = 0;
    while (end < token.size() && token.at(end).isLetter())
        ++end;
    const QString base = token.left(end).toLower();
    const QString rest = token.mid(end);
    if (base.size() < 3)
        return token;
    QString best;
    int bestDistance = 3;
    for (const QString& word : columnTypeWords()) {
        const int allowed = word.size() >= 6 ? 2 : word.size() >= 4 ? 1 : 0;
        const int distance = editDistance(base, word);
        if (distance <= allowed && distance < bestDistance) {
            bestDistance = distance;
            best = word;
        }
    }
    return best.isEmpty() ? token : best + rest;
}

QString splitGluedColumnType(const QString& word)
{
    // The longest type word that the end of the word starts with, followed
    // by nothing, a width of up to two figures or a size in parentheses.
    static const QRegularExpression tail(QStringLiteral("^([a-z]+)([0-9]{0,2}|\\([0-9,]*\\))$"));
    for (int at = 2; at + 3 <= word.size(); ++at) {
        const QRegularExpressionMatch match = tail.match(word.mid(at));
        if (match.hasMatch() && columnTypeWords().contains(match.captured(1))
            && word.at(at - 1) != QLatin1Char('_'))
            return word.left(at) + QLatin1Char(' ') + word.mid(at);
    }
    return QString();
}

QString settleRecognizedRow(const QString& row)
{
    QString text = cleanRecognizedText(row);
    // The comma between the figures of a size ("decimal(12,2)") is often
    // too small to be read: figures in parentheses parted by a space.
    static const QRegularExpression sizeGap(QStringLiteral("(\\(\\d+) (\\d+\\))"));
    text.replace(sizeGap, QStringLiteral("\\1,\\2"));
    QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    // Column gaps ("|") at either end or after a key marker part nothing.
    const auto isGap = [](const QString& word) { return word == QLatin1String("|"); };
    const auto isKeyMarker = [](const QString& word) {
        return word.compare(QLatin1String("PK"), Qt::CaseInsensitive) == 0
            || word.compare(QLatin1String("FK"), Qt::CaseInsensitive) == 0
            || word.compare(QLatin1String("UK"), Qt::CaseInsensitive) == 0;
    };
    int first = 0;
    for (int i = 0; i < words.size(); ++i) {
        if (isGap(words.at(i)) && (i == first || isKeyMarker(words.at(i - 1)) || isGap(words.at(i - 1)))) {
            words.removeAt(i--);
            continue;
        }
        if (i == first && isKeyMarker(words.at(i)))
            ++first;
    }
    while (!words.isEmpty() && isGap(words.last()))
        words.removeLast();
    if (words.isEmpty())
        return QString();
    // Tables that write the type first ("bigint | customer_id"): a first
    // word near a type word, where the last word is none, is that type.
    const auto isTypeWord = [](const QString& word) { return isColumnTypeWord(word) && !word.contains(QLatin1Char('|')); };
    if (words.size() >= first + 2 && words.at(first).size() >= 4 && !words.at(first).contains(QLatin1Char('_'))
        && !words.last().startsWith(QLatin1Char('[')) && !isTypeWord(words.at(first))
        && !isTypeWord(nearestColumnTypeWord(words.last())) && isTypeWord(nearestColumnTypeWord(words.at(first)))) {
        words[first] = nearestColumnTypeWord(words.at(first));
        const int name = isGap(words.at(first + 1)) && words.size() >= first + 3 ? first + 2 : first + 1;
        words[name] = settleIdName(words.at(name));
        return words.join(QLatin1Char(' '));
    }
    if (first < words.size())
        words[first] = settleIdName(words.at(first));
    if (words.size() >= 2)
        words.last() = nearestColumnTypeWord(words.last());
    return words.join(QLatin1Char(' '));
}

