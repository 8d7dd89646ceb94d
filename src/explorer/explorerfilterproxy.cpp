#include "explorer/explorerfilterproxy.h"

#include "explorer/explorerkinds.h"

#include <QHash>

ExplorerFilterProxy::ExplorerFilterProxy(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

ExplorerFilterProxy::~ExplorerFilterProxy() = default;

bool ExplorerFilterProxy::setSearchText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == m_searchText)
        return false;
    m_searchText = trimmed;
    invalidate();
    return true;
}

bool ExplorerFilterProxy::setHiddenKinds(const QSet<QString>& kinds)
{
    if (kinds == m_hiddenKinds)
        return false;
    m_hiddenKinds = kinds;
    invalidate();
    return true;
}

QList<std::pair<QString, QString>> ExplorerFilterProxy::hideableKinds()
{
    using namespace ExplorerKind;
    return {{QStringLiteral("Tables"), Table},       {QStringLiteral("Views"), View},
            {QStringLiteral("Relationships"), Relationship}, {QStringLiteral("Diagrams"), Diagram},
            {QStringLiteral("Sequences"), Sequence}, {QStringLiteral("Mappings"), Mapping},
            {QStringLiteral("Documents"), Document}};
}

QString ExplorerFilterProxy::kindOfFolder(const QString& folderKind)
{
    using namespace ExplorerKind;
    static const QHash<QString, QString> singular{{Tables, Table},       {Views, View},
                                                  {Relationships, Relationship}, {Diagrams, Diagram},
                                                  {Sequences, Sequence}, {Mappings, Mapping},
                                                  {Documents, Document}};
    return singular.value(folderKind);
}

bool ExplorerFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* source = sourceModel();
    if (!source)
        return true;
    const QModelIndex index = source->index(sourceRow, 0, sourceParent);
    const QString kind = index.data(ExplorerKind::KindRole).toString();
    const QString folderOf = kindOfFolder(kind);
    if (m_hiddenKinds.contains(kind) || (!folderOf.isEmpty() && m_hiddenKinds.contains(folderOf)))
        return false;
    if (m_searchText.isEmpty())
        return true;
    // The project row and the folders never match by their own caption;
    // recursive filtering shows them on the paths to rows that do.
    if (kind == ExplorerKind::Project || !folderOf.isEmpty())
        return false;
    return index.data(Qt::DisplayRole).toString().contains(m_searchText, Qt::CaseInsensitive);
}
