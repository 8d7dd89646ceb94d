// The project's indented JSON writer against Qt's: the same bytes for
// hand-picked values, for the stored files of the test data and for
// generated documents.
#include "common/testmain.h"
#include "model/indentedjson.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

class TestIndentedJson : public QObject
{
    Q_OBJECT

private:
    static QByteArray qtText(const QJsonObject& object)
    {
        return QJsonDocument(object).toJson(QJsonDocument::Indented);
    }

    static QJsonObject parsed(const char* text)
    {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray(text), &error);
        if (error.error != QJsonParseError::NoError)
            qFatal("test input does not parse: %s", text);
        return doc.object();
    }

    static QString randomString(QRandomGenerator& random)
    {
        // Plain letters mostly, with escapes, controls, multi-byte forms,
        // surrogate pairs and halves of pairs mixed in.
        static const char16_t specials[] = {u'"',    u'\\',   u'/',    0x01,   0x08,   0x09,   0x0a,
                                            0x0c,    0x0d,    0x1f,    0x7f,   0x80,   0xe9,   0x7ff,
                                            0x800,   0x20ac,  0xfeff,  0xfffe, 0xffff, 0xd83d, 0xde00,
                                            0xdbff,  0xdc00};
        QString s;
        const int length = random.bounded(12);
        for (int i = 0; i < length; ++i) {
            if (random.bounded(4) == 0)
                s.append(QChar(specials[random.bounded(int(std::size(specials)))]));
            else
                s.append(QChar(u'a' + random.bounded(26)));
        }
        return s;
    }

    static QJsonValue randomValue(QRandomGenerator& random, int depth)
    {
        switch (random.bounded(depth > 3 ? 5 : 7)) {
        case 0:
            return QJsonValue(random.bounded(2) == 1);
        case 1:
            return QJsonValue();
        case 2:
            return QJsonValue(qint64(random.generate64()) >> random.bounded(64));
        case 3: {
            const double mantissa = random.generateDouble() - 0.5;
            return QJsonValue(std::ldexp(mantissa, random.bounded(-60, 80)));
        }
        case 4:
            return QJsonValue(randomString(random));
        case 5: {
            QJsonArray array;
            for (int i = random.bounded(5); i > 0; --i)
                array.append(randomValue(random, depth + 1));
            return array;
        }
        default: {
            QJsonObject object;
            for (int i = random.bounded(6); i > 0; --i)
                object.insert(randomString(random), randomValue(random, depth + 1));
            return object;
        }
        }
    }

private slots:
    void sameBytesAsQt_data()
    {
        QTest::addColumn<QJsonObject>("object");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("empty") << QJsonObject();
        QTest::newRow("empty nested") << QJsonObject{{"a", QJsonObject()}, {"b", QJsonArray()},
                                                     {"c", QJsonArray{QJsonArray(), QJsonObject()}}};
        QTest::newRow("scalars") << QJsonObject{{"t", true}, {"f", false}, {"n", QJsonValue()},
                                                {"s", ""}, {"i", 42}, {"neg", -7}};
        QTest::newRow("escapes") << QJsonObject{{"q\"k", "a\"b\\c/d\b\f\n\r\t"},
                                                {"ctl", QString(QChar(0x01)) + QChar(0x1f) + QChar(0x7f)}};
        QTest::newRow("multi-byte") << QJsonObject{{QString::fromUtf8("clé"), QString::fromUtf8("€ 𝄞 ﻿ 中文")},
                                                   {"noncharacters", QString(QChar(0xfffe)) + QChar(0xffff)}};
        QTest::newRow("lone surrogates")
            << QJsonObject{{"high at end", QString(QChar(0xd83d))},
                           {"high then letter", QString(QChar(0xd83d)) + u'x'},
                           {"low alone", QString(QChar(0xde00)) + u'y'},
                           {"two highs", QString(QChar(0xd83d)) + QChar(0xd83d) + QChar(0xde00)}};
        QTest::newRow("doubles") << QJsonObject{{"a", 0.1}, {"b", 1e-7}, {"c", 1e20}, {"d", -0.0},
                                                {"e", 1e300}, {"f", 320.5}, {"g", 2.0 / 3.0},
                                                {"h", 4503599627370497.0}, {"i", 9007199254740993.0}};
        QTest::newRow("integers") << QJsonObject{{"max", std::numeric_limits<qint64>::max()},
                                                 {"min", std::numeric_limits<qint64>::min()},
                                                 {"2^53+1", qint64(9007199254740993)}};
        QTest::newRow("not finite") << QJsonObject{{"nan", nan}, {"inf", inf}, {"-inf", -inf}};
        QTest::newRow("parsed numbers")
            << parsed(R"({"a": 1e15, "b": 1.0, "c": 12345678901234567890, "d": -0, "e": 5E-324,
                          "f": 0.000001, "g": 123456789012, "h": 1.5e300})");
    }

    void sameBytesAsQt()
    {
        QFETCH(QJsonObject, object);
        QCOMPARE(toIndentedJson(object), qtText(object));
    }

    // Every stored document the tests read, written again.
    void sameBytesForTestData()
    {
        int files = 0;
        QDirIterator it(QStringLiteral(QUILLMAP_TEST_DATA_DIR), {QStringLiteral("*.json")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
            if (!doc.isObject())
                continue;
            ++files;
            QVERIFY2(toIndentedJson(doc.object()) == qtText(doc.object()), qPrintable(file.fileName()));
        }
        QVERIFY(files >= 5);
    }

    void sameBytesForGeneratedDocuments()
    {
        QRandomGenerator random(20240615u);
        for (int i = 0; i < 400; ++i) {
            QJsonObject object;
            for (int k = random.bounded(1, 8); k > 0; --k)
                object.insert(randomString(random), randomValue(random, 0));
            const QByteArray ours = toIndentedJson(object);
            const QByteArray theirs = qtText(object);
            if (ours != theirs)
                QFAIL(qPrintable(QStringLiteral("document %1 differs:\n%2\nQt:\n%3")
                                     .arg(i)
                                     .arg(QString::fromUtf8(ours), QString::fromUtf8(theirs))));
        }
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestIndentedJson)
#include "tst_indentedjson.moc"
