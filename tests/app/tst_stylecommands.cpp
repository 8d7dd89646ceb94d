#include "app/dialoghooks.h"
#include "app/mainwindow.h"
#include "common/testmain.h"
#include "diagram/entityitem.h"
#include "diagram/erscene.h"
#include "diagram/groupitem.h"
#include "diagram/textitem.h"
#include "dialogs/colorsdialog.h"
#include "dialogs/edgeeditdialog.h"
#include "dialogs/entityeditdialog.h"
#include "dialogs/groupitemstyledialog.h"
#include "dialogs/textitemstyledialog.h"
#include "edges/edgeitem.h"

#include "common/mainwindowparts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

// The Format menu's "Colors and fonts": which dialog the selection opens,
// what it is preloaded with and proposes, and which items its result
// reaches.
class TestStyleCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The colours dialog reads the user's presets: never the real ones.
        QVERIFY(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    }

    void init()
    {
        window = std::make_unique<MainWindow>();
        DialogHooks::setMessageHook([](QMessageBox::Icon, QWidget*, const QString& title, const QString& text,
                                       QMessageBox::StandardButtons, QMessageBox::StandardButton) {
            qWarning("unexpected message: %s: %s", qPrintable(title), qPrintable(text));
            return QMessageBox::Ok;
        });
    }

    void cleanup()
    {
        DialogHooks::resetHooks();
        window.reset();
    }

    void dispatcherPicksTheDialogAndTarget_data()
    {
        QTest::addColumn<int>("tables");
        QTest::addColumn<int>("texts");
        QTest::addColumn<int>("groups");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<int>("target");
        QTest::newRow("nothing") << 0 << 0 << 0 << "ColorsDialog" << 2;
        QTest::newRow("one table") << 1 << 0 << 0 << "ColorsDialog" << 0;
        QTest::newRow("three tables") << 3 << 0 << 0 << "ColorsDialog" << 1;
        QTest::newRow("two texts and a table") << 1 << 2 << 0 << "ColorsDialog" << 0;
        QTest::newRow("a group and a table") << 1 << 0 << 1 << "ColorsDialog" << 0;
        QTest::newRow("text and group") << 0 << 1 << 1 << "ColorsDialog" << 2;
        QTest::newRow("one text") << 0 << 1 << 0 << "TextItemStyleDialog" << 0;
        QTest::newRow("two texts") << 0 << 2 << 0 << "TextItemStyleDialog" << 1;
        QTest::newRow("one group") << 0 << 0 << 1 << "GroupItemStyleDialog" << 0;
        QTest::newRow("three groups") << 0 << 0 << 3 << "GroupItemStyleDialog" << 1;
    }

    void dispatcherPicksTheDialogAndTarget()
    {
        QFETCH(int, tables);
        QFETCH(int, texts);
        QFETCH(int, groups);
        QFETCH(QString, dialog);
        QFETCH(int, target);

        // Unselected items of every kind stand by, and an edge is selected too:
        // neither may count.
        EntityItem* a = scene()->addTableAt({0, 400});
        EntityItem* b = scene()->addTableAt({300, 400});
        scene()->addTextAt({0, 700});
        scene()->addGroupAt({300, 700});
        scene()->createEdge(a, b, false)->setSelected(true);
        for (int i = 0; i < tables; ++i)
            scene()->addTableAt({qreal(300 * i), 0})->setSelected(true);
        for (int i = 0; i < texts; ++i)
            scene()->addTextAt({qreal(200 * i), 250})->setSelected(true);
        for (int i = 0; i < groups; ++i)
            scene()->addGroupAt({qreal(300 * i), 1000})->setSelected(true);

        QStringList opened;
        int proposed = -1;
        bool useForNew = true;
        onExec([&](QDialog* d) {
            opened << d->metaObject()->className();
            if (auto* c = qobject_cast<ColorsDialog*>(d)) {
                proposed = c->applyTarget();
                useForNew = c->useForNewEntities();
            } else if (auto* t = qobject_cast<TextItemStyleDialog*>(d)) {
                proposed = t->applyTarget();
                useForNew = t->useForNew();
            } else if (auto* g = qobject_cast<GroupItemStyleDialog*>(d)) {
                proposed = g->applyTarget();
                useForNew = g->useForNew();
            }
        });
        trigger();
        QCOMPARE(opened, QStringList{dialog});
        QCOMPARE(proposed, target);
        QCOMPARE(useForNew, false);
    }

    void coloursPreloadFromTheFirstSelectedEntity()
    {
        DualThemeColorScheme seen;
        onExec([&](QDialog* d) { seen = static_cast<ColorsDialog*>(d)->currentScheme(); });
        const auto withHeaders = [](DualThemeColorScheme s) {
            s.lightHeader = s.lightBackground;
            s.darkHeader = s.darkBackground;
            return s;
        };

        // Nothing selected, no defaults: the built-in scheme.
        trigger();
        QCOMPARE(seen, withHeaders(defaultDualThemeColorScheme()));

        for (int i = 0; i < 3; ++i) {
            EntityItem* t = scene()->addTableAt({qreal(300 * i), 0});
            t->setColors(ColorsDialog::presetScheme(2 + i));
            t->setSelected(true);
        }
        // One more with colours left unset: resolved to the theme's.
        EntityItem* plain = scene()->addTableAt({0, 400});
        EntityItem* first = nullptr;
        for (QGraphicsItem* item : scene()->selectedItems()) {
            if (item->type() == EntityItem::Type) {
                first = static_cast<EntityItem*>(item);
                break;
            }
        }
        QVERIFY(first);
        trigger();
        QCOMPARE(seen, withHeaders(first->colors()));

        scene()->clearSelection();
        plain->setSelected(true);
        trigger();
        QCOMPARE(seen, withHeaders(plain->effectiveColors()));
        QVERIFY(seen.allValid());
    }

    void colourTargetsReachExactlyTheirEntities_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("useForNew");
        QTest::addColumn<QList<int>>("changed"); // indexes of the four tables
        QTest::addColumn<bool>("defaults");
        QTest::newRow("selected entity") << 0 << false << QList<int>{0, 2} << false;
        QTest::newRow("selected entities") << 1 << false << QList<int>{0, 2} << false;
        QTest::newRow("selected, also for new") << 1 << true << QList<int>{0, 2} << true;
        QTest::newRow("whole diagram") << 2 << false << QList<int>{0, 1, 2, 3} << false;
        QTest::newRow("defaults only") << 3 << false << QList<int>{} << true;
        QTest::newRow("defaults only, box on") << 3 << true << QList<int>{} << true;
    }

    void colourTargetsReachExactlyTheirEntities()
    {
        QFETCH(int, target);
        QFETCH(bool, useForNew);
        QFETCH(QList<int>, changed);
        QFETCH(bool, defaults);

        QList<EntityItem*> tables;
        for (int i = 0; i < 3; ++i)
            tables << scene()->addTableAt({qreal(300 * i), 0});
        tables << scene()->addViewAt({900, 0});
        TextItem* text = scene()->addTextAt({0, 300});
        const TextItemStyle textBefore = text->style();
        QList<DualThemeColorScheme> before;
        for (EntityItem* t : tables)
            before << t->colors();
        EdgeItem* edge = scene()->createEdge(tables[0], tables[1], false);
        for (QGraphicsItem* item : {static_cast<QGraphicsItem*>(tables[0]), static_cast<QGraphicsItem*>(tables[2]),
                                    static_cast<QGraphicsItem*>(text), static_cast<QGraphicsItem*>(edge)})
            item->setSelected(true);

        DualThemeColorScheme picked;
        onExec([&](QDialog* d) {
            auto* dialog = static_cast<ColorsDialog*>(d);
            dialog->setScheme(ColorsDialog::presetScheme(4));
            d->findChild<QLineEdit*>(QStringLiteral("lineEditTxtHexDark"))->setText(QStringLiteral("#ABCDEF"));
            picked = dialog->currentScheme();
            applyWith(d, "comboBoxSelectedChoice", "checkBoxUseNewEntities", target, useForNew);
        });
        trigger();
        QCOMPARE(picked.darkText, QColor(0xAB, 0xCD, 0xEF));

        for (int i = 0; i < tables.size(); ++i) {
            const bool hit = changed.contains(i);
            QVERIFY2((tables[i]->colors() == picked) == hit, qPrintable(QString::number(i)));
            if (!hit)
                QCOMPARE(tables[i]->colors(), before.at(i));
        }
        QCOMPARE(text->style(), textBefore);

        // Only new tables and views show whether the defaults were set.
        EntityItem* fresh = scene()->addTableAt({0, 600});
        EntityItem* freshView = scene()->addViewAt({300, 600});
        QCOMPARE(fresh->colors() == picked, defaults);
        QCOMPARE(freshView->colors() == picked, defaults);
        QCOMPARE(scene()->hasDefaultEntityColors(), defaults);

        // The next dialog opens on the defaults when nothing is selected.
        scene()->clearSelection();
        DualThemeColorScheme reopened;
        onExec([&](QDialog* d) { reopened = static_cast<ColorsDialog*>(d)->currentScheme(); });
        trigger();
        QCOMPARE(reopened == picked, defaults);
    }

    void textAndGroupTargetsReachExactlyTheirItems_data()
    {
        QTest::addColumn<bool>("groups");
        QTest::addColumn<int>("target");
        QTest::addColumn<bool>("useForNew");
        QTest::addColumn<QList<int>>("changed"); // indexes of the three items
        QTest::addColumn<bool>("defaults");
        for (bool groups : {false, true}) {
            const char* kind = groups ? "groups" : "texts";
            QTest::addRow("%s: selected item", kind) << groups << 0 << false << QList<int>{1} << false;
            QTest::addRow("%s: selected items, also new", kind) << groups << 1 << true << QList<int>{1} << true;
            QTest::addRow("%s: whole diagram", kind) << groups << 2 << false << QList<int>{0, 1, 2} << false;
            QTest::addRow("%s: defaults only", kind) << groups << 3 << false << QList<int>{} << true;
        }
    }

    void textAndGroupTargetsReachExactlyTheirItems()
    {
        QFETCH(bool, groups);
        QFETCH(int, target);
        QFETCH(bool, useForNew);
        QFETCH(QList<int>, changed);
        QFETCH(bool, defaults);

        QList<QGraphicsItem*> items;
        for (int i = 0; i < 3; ++i) {
            if (groups)
                items << scene()->addGroupAt({qreal(300 * i), 0});
            else
                items << scene()->addTextAt({qreal(200 * i), 0});
        }
        items[1]->setSelected(true);
        // A selected table and a selected item of the other kind stay as they are.
        EntityItem* table = scene()->addTableAt({0, 500});
        table->setSelected(true);
        const DualThemeColorScheme tableBefore = table->colors();
        QGraphicsItem* other = groups ? static_cast<QGraphicsItem*>(scene()->addTextAt({0, 900}))
                                      : static_cast<QGraphicsItem*>(scene()->addGroupAt({0, 900}));
        other->setSelected(true);
        const auto styleOf = [](QGraphicsItem* item) -> QString {
            if (item->type() == GroupItem::Type) {
                QStringList names;
                for (const QColor& c : static_cast<GroupItem*>(item)->colors().toArray())
                    names << c.name(QColor::HexArgb);
                return names.join(QLatin1Char(' '));
            }
            const TextItemStyle s = static_cast<TextItem*>(item)->style();
            return QStringLiteral("%1 %2 %3 %4 %5")
                .arg(s.font.family())
                .arg(s.font.pointSize())
                .arg(s.font.weight())
                .arg(s.lightColor.name(), s.darkColor.name());
        };
        const QString otherBefore = styleOf(other);
        const QString itemBefore = styleOf(items[0]);

        // The dispatcher would open the colours dialog (a table is selected);
        // the context menu's request opens this one directly.
        onExec([&](QDialog* d) {
            if (groups) {
                d->findChild<QLineEdit*>(QStringLiteral("lineEditGroupFillHexLight"))->setText(QStringLiteral("#40FF8800"));
                d->findChild<QLineEdit*>(QStringLiteral("lineEditGroupTextHexDark"))->setText(QStringLiteral("#00FF00"));
            } else {
                QFont font(QStringLiteral("Noto Serif"), 20);
                static_cast<TextItemStyleDialog*>(d)->setStyle({font, QColor(0x80, 0, 0), QColor(0, 0x80, 0)});
            }
            applyWith(d, "comboBoxApplyTo", "checkBoxUseNew", target, useForNew);
        });
        if (groups)
            emit scene()->groupStyleDialogRequested();
        else
            emit scene()->textStyleDialogRequested();

        QGraphicsItem* fresh = groups ? static_cast<QGraphicsItem*>(scene()->addGroupAt({900, 900}))
                                      : static_cast<QGraphicsItem*>(scene()->addTextAt({900, 900}));
        const QString applied = groups ? QStringLiteral("#40ff8800 #ff000000 #ff000000 #5a262626 #ffd2d2d2 #ff00ff00")
                                       : QStringLiteral("Noto Serif 20 400 #800000 #008000");
        for (int i = 0; i < items.size(); ++i)
            QCOMPARE(styleOf(items[i]) == applied, changed.contains(i));
        if (!changed.contains(0))
            QCOMPARE(styleOf(items[0]), itemBefore);
        QCOMPARE(styleOf(fresh) == applied, defaults);
        QCOMPARE(styleOf(other), otherBefore);
        QCOMPARE(table->colors(), tableBefore);
    }

    void contextMenusOpenTheirDialogs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("caption");
        QTest::newRow("text item") << "text" << QString::fromUtf8("Colors and fonts\u2026") << "TextItemStyleDialog"
                                   << QString();
        QTest::newRow("group") << "group" << QString::fromUtf8("Colors and fonts\u2026") << "GroupItemStyleDialog"
                               << QString();
        QTest::newRow("table") << "table" << "Edit" << "EntityEditDialog" << "Entity: customer";
        QTest::newRow("relationship") << "edge" << "Edit" << "EdgeEditDialog"
                                      << QString::fromUtf8("Relationship: customer \u2014 orders");
    }

    // A right click on each kind of item offers its entry, and choosing it
    // opens that item's dialog and nothing else; the property dialogs name
    // the object they were opened on.
    void contextMenusOpenTheirDialogs()
    {
        QFETCH(QString, kind);
        QFETCH(QString, entry);
        QFETCH(QString, dialog);
        QFETCH(QString, caption);

        window->resize(1200, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        ERView* view = canvasView(window.get());

        EntityItem* customer = scene()->addTableAt({0, 0});
        customer->setTitle(QStringLiteral("customer"));
        EntityItem* orders = scene()->addTableAt({600, 0});
        orders->setTitle(QStringLiteral("orders"));
        QGraphicsItem* target = customer;
        QPointF at = customer->sceneBoundingRect().center();
        if (kind == QLatin1String("text")) {
            target = scene()->addTextAt({0, 400});
            at = target->sceneBoundingRect().center();
        } else if (kind == QLatin1String("group")) {
            target = scene()->addGroupAt({400, 400});
            // The frame's title bar, clear of anything drawn inside it.
            at = target->mapToScene(QPointF(10, 8));
        } else if (kind == QLatin1String("edge")) {
            EdgeItem* edge = scene()->createEdge(customer, orders, false);
            target = edge;
            at = edge->mapToScene(edge->path().pointAtPercent(0.5));
        }
        view->centerOn(at);
        QCOMPARE(scene()->itemAt(at, view->transform()), target);
        const QPoint viewPos = view->mapFromScene(at);

        QStringList offered;
        DialogHooks::setMenuHook([&](QMenu* menu, const QPoint&) -> QAction* {
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator())
                    continue;
                offered << action->text();
                if (action->text() == entry && !chosen)
                    chosen = action;
            }
            return chosen;
        });
        QStringList opened;
        QString shownCaption;
        onExec([&](QDialog* d) {
            opened << d->metaObject()->className();
            for (const char* name : {"labelEntityName", "labelRelationshipName"}) {
                if (auto* label = d->findChild<QLabel*>(QLatin1String(name)))
                    shownCaption = label->text();
            }
        });

        if (kind == QLatin1String("text") || kind == QLatin1String("group")) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, viewPos, view->viewport()->mapToGlobal(viewPos));
            QApplication::sendEvent(view->viewport(), &event);
        } else {
            QTest::mousePress(view->viewport(), Qt::RightButton, {}, viewPos);
        }

        QVERIFY2(offered.contains(entry), qPrintable(offered.join(QLatin1String(" | "))));
        QCOMPARE(opened, QStringList{dialog});
        QCOMPARE(shownCaption, caption);
        QVERIFY(target->isSelected());
    }

private:
    ERScene* scene() const { return canvasScene(window.get()); }
    void trigger() { windowAction(window.get(), "actionEntity_Colors")->trigger(); }
    // Runs every dialog the window opens through script instead of exec.
    void onExec(std::function<void(QDialog*)> script)
    {
        DialogHooks::setExecHook([script](QDialog* dialog) {
            script(dialog);
            return int(QDialog::Accepted);
        });
    }
    // Sets the "Apply to" box and the use-for-new box, then presses Apply.
    static void applyWith(QDialog* dialog, const char* targetBox, const char* newBox, int target, bool useForNew)
    {
        dialog->findChild<QComboBox*>(QLatin1String(targetBox))->setCurrentIndex(target);
        dialog->findChild<QCheckBox*>(QLatin1String(newBox))->setChecked(useForNew);
        dialog->findChild<QPushButton*>(QStringLiteral("pushButtonApply"))->click();
    }

    std::unique_ptr<MainWindow> window;
    QTemporaryDir settingsDir;
};

QUILLMAP_TEST_MAIN(TestStyleCommands)
#include "tst_stylecommands.moc"
