#include "dialogs/edgeeditdialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestEdgeEditDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void formAndButtons()
    {
        EdgeEditDialog dialog(QString::fromUtf8("orders \u2014 <b>customers</b>"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Relationship"));
        QCOMPARE(dialog.labelText(), QString::fromUtf8("Relationship: orders \u2014 <b>customers</b>"));
        // Names are shown as they are, never as markup.
        QCOMPARE(dialog.findChild<QLabel*>("labelRelationship")->textFormat(), Qt::PlainText);
        auto* details = dialog.findChild<QGroupBox*>("groupBoxDetails");
        QVERIFY(details);
        QCOMPARE(details->title(), QStringLiteral("Details"));
        QVERIFY(details->findChildren<QWidget*>().isEmpty());
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QCOMPARE(buttons->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    }

    void okAcceptsAndCancelRejects()
    {
        for (auto which : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
            EdgeEditDialog dialog(QStringLiteral("Relationship"));
            dialog.show();
            dialog.findChild<QDialogButtonBox*>()->button(which)->click();
            QCOMPARE(dialog.result(), which == QDialogButtonBox::Ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
        }
    }
};

QTEST_MAIN(TestEdgeEditDialog)
#include "tst_edgeeditdialog.moc"
