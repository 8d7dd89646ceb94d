#pragma once

#include "app/mainwindow.h"
#include "common/mainwindowparts.h"
#include "details/tabledetailscontroller.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

// A main window with its details pane, and the steps the pane's tests take
// through it: grids and buttons by object name, entities drawn and selected.
struct DetailsPane
{
    std::unique_ptr<MainWindow> window;
    TableDetailsController* details = nullptr;

    bool open()
    {
        window = std::make_unique<MainWindow>();
        window->show();
        details = window->findChild<TableDetailsController*>();
        return QTest::qWaitForWindowExposed(window.get()) && details;
    }

    void close()
    {
        window.reset();
        details = nullptr;
    }

    // Lets the deferred refresh (and the window's deferred selection
    // handling) run.
    static void settle()
    {
        for (int pass = 0; pass < 3; ++pass)
            QCoreApplication::processEvents();
    }

    static QString json(const QJsonObject& object)
    {
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }

    ERScene* scene() const { return canvasScene(window.get()); }
    QAbstractItemView* view(const char* name) const
    {
        return window->findChild<QAbstractItemView*>(QLatin1String(name));
    }
    QTableView* grid(const char* name) const { return window->findChild<QTableView*>(QLatin1String(name)); }
    QStandardItemModel* model(const char* name) const { return qobject_cast<QStandardItemModel*>(view(name)->model()); }
    QToolButton* button(const char* name) const { return window->findChild<QToolButton*>(QLatin1String(name)); }
    template <typename T>
    T* widget(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }

    // Clicks an enabled button; false when it is missing or disabled.
    bool click(const char* name) const
    {
        QToolButton* target = button(name);
        if (!target || !target->isEnabled())
            return false;
        target->click();
        settle();
        return true;
    }

    // The texts of a grid row, check-box cells left out.
    QStringList texts(const char* name, int row) const
    {
        QStandardItemModel* itemModel = model(name);
        QStringList cells;
        for (int column = 0; column < itemModel->columnCount(); ++column) {
            const QStandardItem* item = itemModel->item(row, column);
            if (!item || !(item->flags() & Qt::ItemIsUserCheckable))
                cells << (item ? item->text() : QStringLiteral("<none>"));
        }
        return cells;
    }

    // Sets a cell as an editor would, then lets the refresh run.
    void edit(const char* name, int row, int column, const QVariant& value, int role = Qt::EditRole) const
    {
        model(name)->setData(model(name)->index(row, column), value, role);
        settle();
    }

    // Makes the row whose column-0 id is id current; false when none is.
    bool selectRow(const char* name, const QString& id) const
    {
        QStandardItemModel* itemModel = model(name);
        for (int row = 0; row < itemModel->rowCount(); ++row) {
            if (itemModel->item(row, 0)->data(TableDetailsController::IdRole).toString() == id) {
                view(name)->setCurrentIndex(itemModel->index(row, 0));
                return true;
            }
        }
        return false;
    }

    bool select(EntityItem* entity) const
    {
        scene()->clearSelection();
        entity->setSelected(true);
        const bool shown = QTest::qWaitFor([&] { return details->shownEntity() == entity; });
        settle();
        return shown;
    }

    // A new table entity titled title with INT rows named rows (after its
    // key row), selected so that the pane shows it.
    EntityItem* showNewTable(const QString& title = QString(), const QStringList& rows = {},
                             QPointF at = QPointF(0, 0)) const
    {
        EntityItem* entity = scene()->addTableAt(at);
        if (!title.isEmpty())
            entity->setTitle(title);
        for (const QString& row : rows)
            entity->addAttribute(row, QStringLiteral("INT"));
        return select(entity) ? entity : nullptr;
    }
};
