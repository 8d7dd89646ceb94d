#include "common/testmain.h"
#include "dialogs/edgeeditdialog.h"

#include <QLabel>
#include <QtTest>

class TestEdgeEditDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Names are shown as they are, never as markup.
    void namesShowAsPlainText()
    {
        EdgeEditDialog dialog(QString::fromUtf8("orders \u2014 <b>customers</b>"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Edit Relationship"));
        QCOMPARE(dialog.labelText(), QString::fromUtf8("Relationship: orders \u2014 <b>customers</b>"));
        QCOMPARE(dialog.findChild<QLabel*>("labelRelationship")->textFormat(), Qt::PlainText);
    }
};

QUILLMAP_TEST_MAIN(TestEdgeEditDialog)
#include "tst_edgeeditdialog.moc"
