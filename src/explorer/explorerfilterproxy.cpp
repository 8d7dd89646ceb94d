#include "explorer/explorerfilterproxy.h"

ExplorerFilterProxy::ExplorerFilterProxy(QObject* parent)
    : QSortFilterProxyModel(parent)
{
}

ExplorerFilterProxy::~ExplorerFilterProxy() = default;
