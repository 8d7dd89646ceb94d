#include "common/testmain.h"
#include "model/itemid.h"

#include <QSet>
#include <QUuid>
#include <QtTest>

class TestItemId : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Random (version 4) UUIDs in their canonical form, lower case without
    // braces, and never the same twice.
    void generatedIdsAreCanonicalRandomUuids()
    {
        QSet<QString> seen;
        for (int i = 0; i < 1000; ++i) {
            const QString id = generateItemId();
            QVERIFY2(isGeneratedItemId(id), qPrintable(id));
            QVERIFY(!seen.contains(id));
            seen.insert(id);
            const QUuid uuid = QUuid::fromString(id);
            QCOMPARE(uuid.version(), QUuid::Random);
            QCOMPARE(uuid.variant(), QUuid::DCE);
            QCOMPARE(uuid.toString(QUuid::WithoutBraces), id);
        }
    }

    void recognisesOnlyTheCanonicalForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("expected");
        QTest::newRow("plain") << "0f8fad5b-d9cb-469f-a165-70867728950e" << true;
        QTest::newRow("braces") << "{0f8fad5b-d9cb-469f-a165-70867728950e}" << false;
        QTest::newRow("upper") << "0F8FAD5B-D9CB-469F-A165-70867728950E" << false;
        QTest::newRow("short") << "0f8fad5b-d9cb-469f-a165-70867728950" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("address") << "140234112" << false;
    }
    void recognisesOnlyTheCanonicalForm()
    {
        QFETCH(QString, text);
        QFETCH(bool, expected);
        QCOMPARE(isGeneratedItemId(text), expected);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestItemId)
#include "tst_itemid.moc"
