#include "common/testmain.h"
#include "dialogs/edgeeditdialog.h"
#include "dialogs/entityeditdialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <memory>

// The relationship and entity property dialogs: a caption naming the
// object, an empty details group, OK and Cancel.
class TestPropertyDialogs : public QObject
{
    Q_OBJECT

private:
    static std::unique_ptr<QDialog> make(bool edge, const QString& name)
    {
        if (edge)
            return std::make_unique<EdgeEditDialog>(name);
        return std::make_unique<EntityEditDialog>(name);
    }

private slots:
    void captionNamesTheObjectAsPlainText_data()
    {
        QTest::addColumn<bool>("edge");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("edge") << true << QString::fromUtf8("orders \u2014 <b>customers</b>")
                              << QString::fromUtf8("Relationship: orders \u2014 <b>customers</b>");
        QTest::newRow("edge without name") << true << QString() << "Relationship: ";
        QTest::newRow("entity") << false << "a & b <i>%1</i>" << "Entity: a & b <i>%1</i>";
        QTest::newRow("entity without name") << false << QString() << "Entity: ";
    }

    void captionNamesTheObjectAsPlainText()
    {
        QFETCH(bool, edge);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        const std::unique_ptr<QDialog> dialog = make(edge, name);
        const char* labelName = edge ? "labelRelationshipName" : "labelEntityName";
        auto* label = dialog->findChild<QLabel*>(QLatin1String(labelName));
        QVERIFY(label);
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(dialog->windowTitle(), edge ? QStringLiteral("Edit Relationship") : QStringLiteral("Edit Entity"));
        QVERIFY(dialog->isModal());
        QVERIFY(!(dialog->windowFlags() & Qt::WindowContextHelpButtonHint));
        auto* details = dialog->findChild<QGroupBox*>(QStringLiteral("grpBoxDetails"));
        QVERIFY(details);
        QCOMPARE(details->title(), QStringLiteral("Details"));
        QVERIFY(details->findChildren<QWidget*>().isEmpty());
        QVERIFY(dialog->findChild<QPushButton*>(QStringLiteral("pushButtonOK"))->isDefault());
    }

    void okAcceptsAndCancelRejects_data()
    {
        QTest::addColumn<bool>("edge");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        for (bool edge : {true, false}) {
            const char* kind = edge ? "edge" : "entity";
            QTest::addRow("%s OK", kind) << edge << "pushButtonOK" << int(QDialog::Accepted);
            QTest::addRow("%s Cancel", kind) << edge << "pushButtonCancel" << int(QDialog::Rejected);
        }
    }

    void okAcceptsAndCancelRejects()
    {
        QFETCH(bool, edge);
        QFETCH(QString, button);
        QFETCH(int, result);
        const std::unique_ptr<QDialog> dialog = make(edge, QStringLiteral("x"));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->setResult(-1);
        dialog->findChild<QPushButton*>(button)->click();
        QCOMPARE(dialog->result(), result);
        QVERIFY(!dialog->isVisible());
    }
};

QUILLMAP_TEST_MAIN(TestPropertyDialogs)
#include "tst_propertydialogs.moc"
