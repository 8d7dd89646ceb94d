// MainWindow: the light and dark theme.
#include "app/mainwindow.h"

#include "ui_mainwindow.h"

#include "app/aboutdialog.h"
#include "app/themeutils.h"
#include "diagram/erscene.h"
#include "diagram/erview.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

QSize MainWindow::toolBarIconSize() const
{
    return ui->toolBar ? ui->toolBar->iconSize() : QSize(18, 18);
}

void MainWindow::fillActionIconCaches()
{
    const QSize size = toolBarIconSize();
    const QList<QAction*> actions = findChildren<QAction*>();
    for (QAction* action : actions) {
        const QIcon icon = action->icon();
        if (icon.isNull())
            continue;
        if (!designedActionIcons.contains(action))
            designedActionIcons.insert(action, icon);
        if (!invertedActionIcons.contains(action))
            invertedActionIcons.insert(action, makeInvertedIcon(icon, size));
        // An action that goes away must not stay behind as a dangling key.
        connect(action, &QObject::destroyed, this, [this, action] {
            designedActionIcons.remove(action);
            invertedActionIcons.remove(action);
        });
    }
}

void MainWindow::ensureToolButtonIconCache()
{
    const QList<QToolButton*> buttons = findChildren<QToolButton*>();
    for (QToolButton* button : buttons) {
        if (button->icon().isNull() || button->defaultAction() || designedToolButtonIcons.contains(button))
            continue;
        QSize size = button->iconSize();
        if (size.width() <= 0 || size.height() <= 0)
            size = QSize(16, 16);
        designedToolButtonIcons.insert(button, button->icon());
        invertedToolButtonIcons.insert(button, makeInvertedIcon(button->icon(), size));
        // A button that goes away must not stay behind as a dangling key.
        connect(button, &QObject::destroyed, this, [this, button] {
            designedToolButtonIcons.remove(button);
            invertedToolButtonIcons.remove(button);
        });
    }
}

void MainWindow::applyThemedToolButtonIcons(ThemeKind kind)
{
    ensureToolButtonIconCache();
    const bool dark = kind != ThemeKind::Light;
    for (auto it = designedToolButtonIcons.cbegin(); it != designedToolButtonIcons.cend(); ++it) {
        const QIcon icon = dark ? invertedToolButtonIcons.value(it.key()) : it.value();
        if (!icon.isNull())
            it.key()->setIcon(icon);
    }
}

void MainWindow::applyTableTheme(ThemeKind kind)
{
    QTreeView* tree = ui->treeViewProject;
    if (!tree)
        return;
    const QColor darkText(0xa9, 0xb7, 0xc6);
    const QColor lightText(0x1e, 0x1e, 0x1e);
    const QPalette p = kind != ThemeKind::Light
        ? paletteForAllGroups({{QPalette::Base, QColor(0x31, 0x33, 0x35)},
                               {QPalette::AlternateBase, QColor(0x26, 0x28, 0x2a)},
                               {QPalette::Text, darkText},
                               {QPalette::WindowText, darkText},
                               {QPalette::ButtonText, darkText},
                               {QPalette::Mid, darkText},
                               {QPalette::Highlight, QColor(0x4b, 0x6e, 0xaf)},
                               {QPalette::HighlightedText, QColor(0xff, 0xff, 0xff)}})
        : paletteForAllGroups({{QPalette::Base, QColor(0xff, 0xff, 0xff)},
                               {QPalette::AlternateBase, QColor(0xf0, 0xf0, 0xf0)},
                               {QPalette::Text, lightText},
                               {QPalette::WindowText, lightText},
                               {QPalette::ButtonText, lightText},
                               {QPalette::Mid, QColor(0x5a, 0x5a, 0x5a)},
                               {QPalette::Highlight, QColor(0x00, 0x78, 0xd4)},
                               {QPalette::HighlightedText, QColor(0xff, 0xff, 0xff)}});
    tree->setPalette(p);
    tree->viewport()->setPalette(p);
    tree->setAutoFillBackground(true);
    tree->viewport()->setAutoFillBackground(true);
    tree->update();
    tree->viewport()->update();
}

void MainWindow::adjustThemeColors(ThemeManager& tm)
{
    const QSize iconSize = toolBarIconSize();
    const bool dark = tm.kind() != ThemeKind::Light;

    QApplication::setPalette(dark ? makeDarkPalette() : makeLightPalette());

    QFile sheet(dark ? QStringLiteral(":/styles/resources/styles/app-dark.qss")
                     : QStringLiteral(":/styles/resources/styles/app-light.qss"));
    if (sheet.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(sheet.readAll()));
    else
        qApp->setStyleSheet(QString());

    applyTableTheme(tm.kind());

    const QList<QWidget*> widgets = findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        const bool aboutWindow = qobject_cast<AboutDialog*>(w) || qobject_cast<AboutDialog*>(w->window());
        if (!qobject_cast<QToolButton*>(w) && !qobject_cast<QToolBar*>(w) && !aboutWindow)
            w->setAttribute(Qt::WA_StyledBackground, true);
        w->style()->unpolish(w);
        w->style()->polish(w);
        w->update();
    }

    if (ui->toolBar)
        ui->toolBar->setIconSize(iconSize);

    const QList<QAction*> actions = findChildren<QAction*>();
    for (QAction* action : actions) {
        const QIcon icon = dark ? invertedActionIcons.value(action) : designedActionIcons.value(action);
        if (!icon.isNull())
            action->setIcon(icon);
    }

    applyThemedToolButtonIcons(tm.kind());
    if (ui->toolBar)
        ui->toolBar->setIconSize(iconSize);

    if (scene) {
        scene->update(scene->sceneRect());
        // Entities re-apply their colours here once they exist; text items
        // and groups repaint.
        const QList<QGraphicsItem*> items = scene->items();
        for (QGraphicsItem* item : items) {
            const int type = item->type();
            if (type == DiagramItemType::Entity || type == DiagramItemType::Text || type == DiagramItemType::Group)
                item->update();
        }
    }

    ui->dockWidget->update();
    ui->dockWidgetContents->update();
    if (ui->treeViewProject) {
        ui->treeViewProject->update();
        ui->treeViewProject->viewport()->update();
        syncTreeSelectionFromScene();
    }
    ui->view->update();
    ui->view->viewport()->update();
}

void MainWindow::on_actionToggle_Theme_triggered()
{
    ThemeManager& tm = ThemeManager::instance();
    tm.setTheme(tm.kind() == ThemeKind::Dark ? ThemeKind::Light : ThemeKind::Dark);
    adjustThemeColors(tm);
}
