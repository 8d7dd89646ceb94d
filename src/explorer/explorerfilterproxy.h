#pragma once

#include <QSortFilterProxyModel>

// The proxy between the explorer's tree model and its view. Every index the
// view hands out is one of its indexes; drag data, MIME types and drag
// actions are those of the tree model, reached through the base class's
// forwarding. For now it lets every row through.
class ExplorerFilterProxy : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit ExplorerFilterProxy(QObject* parent = nullptr);
    ~ExplorerFilterProxy() override;
};
