#pragma once

#include <QList>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QString>

#include <utility>

// The proxy between the explorer's tree model and its view. Every index the
// view hands out is one of its indexes; drag data, MIME types and drag
// actions are those of the tree model, reached through the base class's
// forwarding.
//
// It narrows the tree in two ways that combine: a set of hidden object
// kinds (their rows and their folders disappear, whatever lies below) and a
// search text (objects and models whose shown text contains it, ignoring
// case). With recursive filtering on, the project row and the folders stay
// on the paths to the rows that match. The tree model is never changed, so
// the filter outlives every rebuild.
//
// A change of either maps the rows anew in one layout change rather than
// removing and inserting them range by range, which on a large tree costs
// seconds; a view does best to collapse its rows first.
class ExplorerFilterProxy : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit ExplorerFilterProxy(QObject* parent = nullptr);
    ~ExplorerFilterProxy() override;

    QString searchText() const { return m_searchText; }
    // Stores the trimmed text; false, filtering nothing anew, when it is
    // the one in force already.
    bool setSearchText(const QString& text);

    QSet<QString> hiddenKinds() const { return m_hiddenKinds; }
    // Singular kinds ("table", "view", ...); false when unchanged.
    bool setHiddenKinds(const QSet<QString>& kinds);

    // The kinds the filter can hide with their captions, in the popup's
    // order: ("Tables", "table"), ("Views", "view"), ...
    static QList<std::pair<QString, QString>> hideableKinds();
    // The singular kind of a folder kind ("tables" -> "table"); empty for
    // any other kind.
    static QString kindOfFolder(const QString& folderKind);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString m_searchText;
    QSet<QString> m_hiddenKinds;
};
