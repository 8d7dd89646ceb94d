#include "model/columnnameindex.h"

#include "model/columnitem.h"

#include <QChar>

#include <algorithm>

ColumnNameIndex::ColumnNameIndex(const QList<ColumnItem*>& columns)
{
    m_buckets.reserve(columns.size());
    for (ColumnItem* column : columns)
        add(column);
}

ColumnItem* ColumnNameIndex::first(const QString& name) const
{
    const auto bucket = m_buckets.constFind(foldedName(name));
    return bucket == m_buckets.cend() ? nullptr : bucket->first;
}

ColumnItem* ColumnNameIndex::takeFirst(const QString& name)
{
    const auto bucket = m_buckets.find(foldedName(name));
    if (bucket == m_buckets.end() || bucket->taken > bucket->more.size())
        return nullptr;
    const qsizetype index = bucket->taken++;
    return index == 0 ? bucket->first : bucket->more.at(index - 1);
}

void ColumnNameIndex::add(ColumnItem* column)
{
    if (!column)
        return;
    Bucket& bucket = m_buckets[foldedName(column->name())];
    if (!bucket.first)
        bucket.first = column;
    else
        bucket.more.append(column);
}

QString ColumnNameIndex::foldedName(const QString& name)
{
    // QString::compare with Qt::CaseInsensitive compares code point by code
    // point after simple case folding; the key is built the same way. Most
    // names are ASCII without capitals, their own key.
    const auto isPlain = [](QChar c) { return c.unicode() < 0x80 && !(c >= u'A' && c <= u'Z'); };
    if (std::all_of(name.cbegin(), name.cend(), isPlain))
        return name;
    QString folded;
    folded.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name.at(i), name.at(i + 1));
            ++i;
        }
        c = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(c)) {
            folded.append(QChar(QChar::highSurrogate(c)));
            folded.append(QChar(QChar::lowSurrogate(c)));
        } else {
            folded.append(QChar(static_cast<char16_t>(c)));
        }
    }
    return folded;
}
