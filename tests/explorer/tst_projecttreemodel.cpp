#include "common/testmain.h"
#include "diagram/erview.h"
#include "explorer/explorerkinds.h"
#include "explorer/projecttreeitemdelegate.h"
#include "explorer/projecttreemodel.h"
#include "model/diagramitem.h"
#include "model/modelitem.h"
#include "model/projectitem.h"
#include "model/tableitem.h"

#include <QApplication>
#include <QJsonDocument>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace ExplorerKind;

namespace {

// A project as a file would hold it: two named models and one without a
// name, objects with and without names, listed out of order.
const char* const projectJson = R"({
  "id": "p1", "name": "Shop",
  "models": [
    {"id": "mb", "name": "b", "dialect": "PostgreSQL",
     "tables": [{"id": "t2", "name": "orders"}, {"id": "t1", "name": "Customer"}, {"id": "t3", "name": ""}],
     "views": [{"id": "v1", "name": "v_customers"}],
     "relationships": [{"id": "r2", "name": "customer_orders"},
                       {"id": "r1", "name": "", "fromTableId": "abcdefghijk", "toTableId": "0123456789"}],
     "sequences": [{"id": "s2", "name": "seq_orders"}, {"id": "s1", "name": ""}],
     "diagrams": [{"id": "d2", "name": "Overview"}, {"id": "d1", "name": ""}],
     "mappings": [{"id": "mp1", "name": ""}],
     "documents": [{"id": "doc2", "fileName": "notes.txt"}, {"id": "doc1", "fileName": ""}]},
    {"id": "ma", "name": "A", "dialect": ""},
    {"id": "mz", "name": "", "dialect": "SQLite", "diagrams": [{"id": "dz", "name": "Diagram 1"}]}
  ]})";

std::unique_ptr<ProjectItem> makeProject(const char* json = projectJson)
{
    auto project = std::make_unique<ProjectItem>();
    project->fromJson(QJsonDocument::fromJson(json).object());
    return project;
}

// One line per row, indented by depth: shown text | kind | id | flags, where
// flags are E (editable), D (drag-enabled) and B (bold).
QStringList dump(const QAbstractItemModel& model, const QModelIndex& parent = QModelIndex(), int depth = 0)
{
    QStringList lines;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        const Qt::ItemFlags flags = model.flags(index);
        QString marks;
        if (flags & Qt::ItemIsEditable)
            marks += QLatin1Char('E');
        if (flags & Qt::ItemIsDragEnabled)
            marks += QLatin1Char('D');
        if (index.data(Qt::FontRole).value<QFont>().weight() > 500)
            marks += QLatin1Char('B');
        lines << QString(depth * 2, QLatin1Char(' ')) + index.data().toString() + QLatin1Char('|')
                     + index.data(KindRole).toString() + QLatin1Char('|') + index.data(IdRole).toString()
                     + QLatin1Char('|') + marks;
        lines += dump(model, index, depth + 1);
    }
    return lines;
}

QList<QStandardItem*> allRows(QStandardItem* parent)
{
    QList<QStandardItem*> rows;
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (QStandardItem* child = parent->child(row, 0)) {
            rows << child;
            rows += allRows(child);
        }
    }
    return rows;
}

QModelIndex indexOf(const ProjectTreeModel& model, const QString& kind, const QString& id)
{
    QStandardItem* item = model.findItem(kind, id);
    return item ? item->index() : QModelIndex();
}

} // namespace

class TestProjectTreeModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Name lists use the locale's collation; pin it.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void rebuildShowsTheWholeProject()
    {
        const auto project = makeProject();
        ProjectTreeModel model;
        model.rebuild(project.get(), project->model("mb"), project->findDiagram("d2"));

        const QStringList expected = {
            "Shop|project|p1|E",
            "  Model (SQLite)|model|mz|E",
            "    Tables|tables||",
            "    Views|views||",
            "    Relationships|relationships||",
            "    Sequences|sequences||",
            "    Diagrams|diagrams||",
            "      Diagram 1|diagram|dz|E",
            "    Mappings|mappings||",
            "    Documents|documents||",
            "  A|model|ma|E",
            "    Tables|tables||",
            "    Views|views||",
            "    Relationships|relationships||",
            "    Sequences|sequences||",
            "    Diagrams|diagrams||",
            "    Mappings|mappings||",
            "    Documents|documents||",
            "  b (PostgreSQL)|model|mb|EB",
            "    Tables|tables||",
            "      |table|t3|ED",
            "      Customer|table|t1|ED",
            "      orders|table|t2|ED",
            "    Views|views||",
            "      v_customers|view|v1|ED",
            "    Relationships|relationships||",
            "      abcdefgh \u2192 01234567|relationship|r1|",
            "      customer_orders|relationship|r2|",
            "    Sequences|sequences||",
            "      Sequence|sequence|s1|",
            "      seq_orders|sequence|s2|",
            "    Diagrams|diagrams||",
            "      Diagram|diagram|d1|E",
            "      Overview|diagram|d2|EB",
            "    Mappings|mappings||",
            "      Mapping|mapping|mp1|",
            "    Documents|documents||",
            "      Document|document|doc1|",
            "      notes.txt|document|doc2|",
        };
        QCOMPARE(dump(model), expected);
        QCOMPARE(model.columnCount(), 1);
    }

    void modelRowsShowTheirDialectButEditTheBareName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("edited");
        QTest::newRow("both") << "Sales" << "PostgreSQL" << "Sales (PostgreSQL)" << "Sales";
        QTest::newRow("no dialect") << "Sales" << "" << "Sales" << "Sales";
        QTest::newRow("no name") << "" << "Oracle" << "Model (Oracle)" << "Model";
    }

    void modelRowsShowTheirDialectButEditTheBareName()
    {
        QFETCH(QString, name);
        QFETCH(QString, dialect);
        QFETCH(QString, shown);
        QFETCH(QString, edited);
        ProjectItem project;
        ModelItem* m = project.addModel();
        m->setName(name);
        m->setDialect(dialect);
        ProjectTreeModel model;
        model.rebuild(&project, nullptr, nullptr);

        const QModelIndex index = indexOf(model, Model, m->id());
        QCOMPARE(index.data(Qt::DisplayRole).toString(), shown);
        QCOMPARE(index.data(Qt::EditRole).toString(), edited);
        QCOMPARE(model.itemFromIndex(index)->text(), edited);
        QCOMPARE(index.data(DialectRole).toString(), dialect);
        // Only model rows are decorated, whatever else a row carries.
        QStandardItem* tables = model.itemFromIndex(index)->child(0);
        tables->setData(QStringLiteral("PostgreSQL"), DialectRole);
        QCOMPARE(tables->index().data().toString(), QStringLiteral("Tables"));
    }

    void noProjectLeavesTheTreeEmpty()
    {
        const auto project = makeProject();
        ProjectTreeModel model;
        model.rebuild(project.get(), nullptr, nullptr);
        QVERIFY(model.rowCount() > 0);
        model.rebuild(nullptr, nullptr, nullptr);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 1);
        QVERIFY(!model.findItem(Project, QStringLiteral("p1")));
    }

    void dragFlagFollowsTheKind()
    {
        const auto project = makeProject();
        ProjectTreeModel model;
        model.rebuild(project.get(), nullptr, nullptr);
        // A folder row forced to drag-enabled still cannot be dragged; a
        // table row whose flag was taken away still can.
        QStandardItem* folder = model.findItem(Tables, QString());
        folder->setDragEnabled(true);
        QVERIFY(!(model.flags(folder->index()) & Qt::ItemIsDragEnabled));
        QStandardItem* table = model.findItem(Table, QStringLiteral("t1"));
        table->setDragEnabled(false);
        QVERIFY(model.flags(table->index()) & Qt::ItemIsDragEnabled);
        QCOMPARE(model.supportedDragActions(), Qt::DropActions(Qt::CopyAction));
        QCOMPARE(model.mimeTypes(), QStringList{QStringLiteral("application/x-quillmap-explorer")});
        // The canvas accepts exactly what the explorer offers.
        QCOMPARE(MimeType, QString::fromLatin1(ExplorerMimeType));
    }

    void dragPayload()
    {
        const auto project = makeProject();
        ProjectTreeModel model;
        model.rebuild(project.get(), nullptr, nullptr);
        const auto at = [&](const char* kind, const char* id) {
            return indexOf(model, QString::fromLatin1(kind), QString::fromLatin1(id));
        };

        // Folders, models, diagrams and relationships stay behind; a table
        // handed twice travels once; the order is the order handed over.
        const QModelIndexList mixed = {at("table", "t2"), at("tables", ""), at("view", "v1"),
                                       at("relationship", "r2"), at("table", "t2"), at("model", "mb"),
                                       at("table", "t1"), at("diagram", "d2"), at("view", "v1")};
        std::unique_ptr<QMimeData> mime(model.mimeData(mixed));
        QVERIFY(mime);
        QCOMPARE(mime->formats(), QStringList{QStringLiteral("application/x-quillmap-explorer")});
        QCOMPARE(mime->data(QStringLiteral("application/x-quillmap-explorer")),
                 QByteArray(R"({"items":[{"id":"t2","kind":"table"},{"id":"v1","kind":"view"},)"
                            R"({"id":"t1","kind":"table"}]})"));

        QVERIFY(!model.mimeData({}));
        QVERIFY(!model.mimeData({at("tables", ""), at("relationship", "r1"), at("model", "ma"),
                                 at("diagram", "d1"), at("project", "p1"), QModelIndex()}));
    }

    void tableWithoutIdIsNeverDragged()
    {
        ProjectItem project;
        ModelItem* m = project.addModel();
        m->ensureTable(QString())->setName(QStringLiteral("ghost"));
        ProjectTreeModel model;
        model.rebuild(&project, nullptr, nullptr);
        QStandardItem* row = model.findItem(Table, QString());
        QVERIFY(row);
        QCOMPARE(row->text(), QStringLiteral("ghost"));
        QVERIFY(!model.mimeData({row->index()}));
    }


    void currentMarkersFollowASwitch()
    {
        const auto project = makeProject();
        ProjectTreeModel model;
        model.rebuild(project.get(), project->model("mb"), project->findDiagram("d2"));

        const auto boldRows = [&] {
            QStringList bold;
            for (QStandardItem* item : allRows(model.invisibleRootItem())) {
                if (ProjectTreeModel::isBold(item))
                    bold << item->data(IdRole).toString();
            }
            return bold;
        };
        QCOMPARE(boldRows(), QStringList({"mb", "d2"}));

        model.updateCurrentMarkers(project->model("mz"), project->findDiagram("dz"));
        QCOMPARE(boldRows(), QStringList({"mz", "dz"}));
        // Rows that were right are left alone: no font was ever set on them.
        QVERIFY(!model.findItem(Tables, QString())->data(Qt::FontRole).isValid());
        QVERIFY(!model.findItem(Table, QStringLiteral("t1"))->data(Qt::FontRole).isValid());

        model.updateCurrentMarkers(project->model("ma"), nullptr);
        QCOMPARE(boldRows(), QStringList({"ma"}));
        model.updateCurrentMarkers(nullptr, nullptr);
        QCOMPARE(boldRows(), QStringList());
    }

    void boldKeepsTheViewFont()
    {
        std::unique_ptr<QStandardItem> item(ProjectTreeModel::makeItem("m", Model));
        ProjectTreeModel::setBold(item.get(), true);
        const QFont font = item->font();
        QCOMPARE(font.weight(), int(QFont::Bold));
        // Family and size stay unset, so the view's font supplies them.
        QFont viewFont(QStringLiteral("Serif"), 17);
        const QFont painted = font.resolve(viewFont);
        QCOMPARE(painted.pointSize(), 17);
        QCOMPARE(painted.weight(), int(QFont::Bold));
    }

    // The row index answers exactly like a walk through the tree, also
    // after rows were changed, removed, added or duplicated behind its back.
    void findItemMatchesAWalk()
    {
        const char* json = R"({"id": "p", "name": "P", "models": [
            {"id": "m1", "name": "one", "tables": [{"id": "dup", "name": "x"}, {"id": "t", "name": "y"}],
             "diagrams": [{"id": "dg", "name": "D"}]},
            {"id": "m2", "name": "two", "tables": [{"id": "dup", "name": "x"}], "views": [{"id": "dup"}]}]})";
        const auto project = makeProject(json);
        ProjectTreeModel model;
        model.rebuild(project.get(), nullptr, nullptr);

        const auto compareAll = [&] {
            QList<QStandardItem*> starts = allRows(model.invisibleRootItem());
            QList<std::pair<QString, QString>> keys = {{"table", "missing"}, {"tables", ""}, {"", ""}};
            for (QStandardItem* item : std::as_const(starts))
                keys.append({item->data(KindRole).toString(), item->data(IdRole).toString()});
            starts.prepend(model.invisibleRootItem());
            starts.append(nullptr);
            for (QStandardItem* start : std::as_const(starts)) {
                for (const auto& [kind, id] : std::as_const(keys)) {
                    QStandardItem* walked = ProjectTreeModel::findItemByWalk(start, kind, id);
                    QStandardItem* indexed = model.findItem(start, kind, id);
                    if (walked != indexed) {
                        qWarning() << "start" << (start ? start->text() : QString()) << kind << id;
                        return false;
                    }
                }
            }
            return true;
        };
        QVERIFY(compareAll());

        // Duplicate ids: the first in pre-order from the root, the model's
        // own below a model row.
        QStandardItem* second = model.findItem(Model, QStringLiteral("m2"));
        QCOMPARE(model.findItem(Table, QStringLiteral("dup"))->parent()->parent()->text(), QStringLiteral("one"));
        QCOMPARE(model.findItem(second, Table, QStringLiteral("dup"))->parent()->parent(), second);
        QVERIFY(!model.findItem(second, Diagram, QStringLiteral("dg")));

        // An id changed in place.
        model.findItem(Table, QStringLiteral("t"))->setData(QStringLiteral("t-renamed"), IdRole);
        QVERIFY(compareAll());
        QVERIFY(model.findItem(Table, QStringLiteral("t-renamed")));
        QVERIFY(!model.findItem(Table, QStringLiteral("t")));

        // A row removed (the index must not hand out a deleted row).
        QStandardItem* first = model.findItem(Model, QStringLiteral("m1"));
        first->parent()->removeRow(first->row());
        QVERIFY(compareAll());
        QCOMPARE(model.findItem(Table, QStringLiteral("dup"))->parent()->parent(), second);

        // A row inserted in front of an existing duplicate.
        QStandardItem* project2 = model.invisibleRootItem()->child(0);
        project2->insertRow(0, ProjectTreeModel::makeItem("early", Table, QStringLiteral("dup")));
        QVERIFY(compareAll());
        QCOMPARE(model.findItem(Table, QStringLiteral("dup"))->text(), QStringLiteral("early"));

        // A row taken out and the same row put back elsewhere.
        const QList<QStandardItem*> taken = project2->takeRow(0);
        second->appendRow(taken);
        QVERIFY(compareAll());
        QCOMPARE(model.findItem(Table, QStringLiteral("dup"))->parent(), second->child(0));

        // A search started in another column walks from there.
        auto* side = new QStandardItem(QStringLiteral("side"));
        side->appendRow(ProjectTreeModel::makeItem("hidden", Sequence, QStringLiteral("sq")));
        second->setChild(0, 1, side);
        QCOMPARE(model.findItem(side, Sequence, QStringLiteral("sq"))->text(), QStringLiteral("hidden"));
        QVERIFY(!model.findItem(Sequence, QStringLiteral("sq")));
        QVERIFY(compareAll());

        // A search started in another item model.
        QStandardItemModel other;
        other.appendRow(ProjectTreeModel::makeItem("elsewhere", View, QStringLiteral("v")));
        QCOMPARE(model.findItem(other.invisibleRootItem(), View, QStringLiteral("v"))->text(),
                 QStringLiteral("elsewhere"));
    }

    void delegateSizesAndEditor()
    {
        QTreeView view;
        ProjectTreeItemDelegate delegate(&view);
        QStandardItemModel model;
        model.appendRow(ProjectTreeModel::makeItem("orders", Table, QStringLiteral("t"), true));
        const QModelIndex index = model.index(0, 0);

        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.rect = QRect(10, 20, 200, 30);
        option.font = QFont(QStringLiteral("Sans"), 6);
        option.fontMetrics = QFontMetrics(option.font);
        QVERIFY(delegate.sizeHint(option, index).height() >= 24);
        QVERIFY(delegate.sizeHint(option, index).height() >= option.fontMetrics.height() + 10);
        option.font = QFont(QStringLiteral("Sans"), 40);
        option.fontMetrics = QFontMetrics(option.font);
        QCOMPARE(delegate.sizeHint(option, index).height(),
                 std::max(QStyledItemDelegate().sizeHint(option, index).height(),
                          option.fontMetrics.height() + 10));

        std::unique_ptr<QWidget> editor(delegate.createEditor(view.viewport(), option, index));
        auto* lineEdit = qobject_cast<QLineEdit*>(editor.get());
        QVERIFY(lineEdit);
        QCOMPARE(lineEdit->textMargins(), QMargins(2, 1, 2, 1));
        delegate.updateEditorGeometry(editor.get(), option, index);
        QCOMPARE(editor->geometry(), QRect(11, 21, 198, 28));
    }
};

QUILLMAP_TEST_MAIN(TestProjectTreeModel)
#include "tst_projecttreemodel.moc"
