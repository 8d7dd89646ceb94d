#include "common/testmain.h"
#include "details/datatypes.h"

#include <QtTest>

class TestDataTypes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("baseType");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("hasSize");

        QTest::newRow("length") << "VARCHAR(255)" << "VARCHAR" << 255 << -1 << -1 << true;
        QTest::newRow("precision and scale") << "NUMBER(10,2)" << "NUMBER" << -1 << 10 << 2 << true;
        QTest::newRow("spaced pair") << "NUMBER( 10 , 2 )" << "NUMBER" << -1 << 10 << 2 << true;
        QTest::newRow("precision only") << "NUMBER(10)" << "NUMBER" << -1 << 10 << -1 << true;
        QTest::newRow("float precision") << "FLOAT(53)" << "FLOAT" << -1 << 53 << -1 << true;
        QTest::newRow("integer width is a length") << "INT(11)" << "INT" << 11 << -1 << -1 << true;
        QTest::newRow("blank before parenthesis") << "VARCHAR ( 20 )" << "VARCHAR" << 20 << -1 << -1 << true;
        QTest::newRow("lower case keeps case") << "decimal(10, 2)" << "decimal" << -1 << 10 << 2 << true;
        QTest::newRow("two-word numeric") << "double precision(8,3)" << "double precision" << -1 << 8 << 3 << true;
        QTest::newRow("zero figures") << "DECIMAL(0,0)" << "DECIMAL" << -1 << 0 << 0 << true;
        QTest::newRow("leading zeros") << "CHAR(007)" << "CHAR" << 7 << -1 << -1 << true;
        QTest::newRow("largest int") << "CHAR(2147483647)" << "CHAR" << 2147483647 << -1 << -1 << true;
        QTest::newRow("pair on text type") << "VARCHAR(10,2)" << "VARCHAR(10,2)" << -1 << -1 << -1 << false;
        QTest::newRow("word size") << "VARCHAR(MAX)" << "VARCHAR(MAX)" << -1 << -1 << -1 << false;
        QTest::newRow("empty size") << "VARCHAR()" << "VARCHAR()" << -1 << -1 << -1 << false;
        QTest::newRow("blank size") << "VARCHAR(  )" << "VARCHAR(  )" << -1 << -1 << -1 << false;
        QTest::newRow("no base") << "(10)" << "(10)" << -1 << -1 << -1 << false;
        QTest::newRow("nested") << "ARRAY(INT(4))" << "ARRAY(INT(4))" << -1 << -1 << -1 << false;
        QTest::newRow("enum list") << "ENUM('a','b')" << "ENUM('a','b')" << -1 << -1 << -1 << false;
        QTest::newRow("unclosed") << "VARCHAR(20" << "VARCHAR(20" << -1 << -1 << -1 << false;
        QTest::newRow("negative") << "CHAR(-5)" << "CHAR(-5)" << -1 << -1 << -1 << false;
        QTest::newRow("non-ascii digits") << QString::fromUtf8("CHAR(\u0661\u0662)")
                                          << QString::fromUtf8("CHAR(\u0661\u0662)") << -1 << -1 << -1 << false;
        // A figure that does not fit an int is not a size: the text stays as typed
        // rather than turning into CHAR(0).
        QTest::newRow("too large") << "CHAR(99999999999)" << "CHAR(99999999999)" << -1 << -1 << -1 << false;
        QTest::newRow("just too large") << "CHAR(2147483648)" << "CHAR(2147483648)" << -1 << -1 << -1 << false;
        QTest::newRow("too large scale") << "DECIMAL(10,99999999999)" << "DECIMAL(10,99999999999)"
                                         << -1 << -1 << -1 << false;
        QTest::newRow("bare, blanks around") << "  TEXT  " << "TEXT" << -1 << -1 << -1 << false;
        QTest::newRow("empty") << "" << "" << -1 << -1 << -1 << false;
        QTest::newRow("blanks only") << " \t " << "" << -1 << -1 << -1 << false;
    }
    void parse()
    {
        QFETCH(QString, text);
        const ParsedDataType parsed = parseDataType(text);
        QTEST(parsed.baseType, "baseType");
        QTEST(parsed.length, "length");
        QTEST(parsed.precision, "precision");
        QTEST(parsed.scale, "scale");
        QTEST(parsed.hasSize, "hasSize");
    }

    void format_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("precision");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("expected");

        QTest::newRow("length given") << "VARCHAR" << 50 << -1 << -1 << "VARCHAR(50)";
        QTest::newRow("length from text") << "VARCHAR(20)" << -1 << -1 << -1 << "VARCHAR(20)";
        QTest::newRow("argument wins") << "VARCHAR(20)" << 50 << -1 << -1 << "VARCHAR(50)";
        QTest::newRow("zero length") << "VARCHAR" << 0 << -1 << -1 << "VARCHAR(0)";
        QTest::newRow("precision and scale") << "DECIMAL" << -1 << 10 << 2 << "DECIMAL(10,2)";
        QTest::newRow("scale from text") << "DECIMAL(10,2)" << -1 << 12 << -1 << "DECIMAL(12,2)";
        QTest::newRow("scale without precision") << "DECIMAL" << -1 << -1 << 2 << "DECIMAL";
        QTest::newRow("precision only") << "NUMERIC" << -1 << 8 << -1 << "NUMERIC(8)";
        QTest::newRow("length ignored on numeric") << "NUMBER" << 20 << -1 << -1 << "NUMBER";
        QTest::newRow("sizes ignored on text") << "  int  " << 11 << 5 << 2 << "int(11)";
        QTest::newRow("unrecognised size kept") << "VARCHAR(MAX)" << 50 << -1 << -1 << "VARCHAR(MAX)";
        QTest::newRow("pair on text type kept") << " VARCHAR(10,2) " << 5 << -1 << -1 << "VARCHAR(10,2)";
        QTest::newRow("too large kept") << "CHAR(99999999999)" << 5 << -1 << -1 << "CHAR(99999999999)";
        QTest::newRow("bare") << "TEXT" << -1 << -1 << -1 << "TEXT";
        QTest::newRow("empty") << "" << 10 << -1 << -1 << "";
        QTest::newRow("blank") << "   " << 10 << 3 << 1 << "";
        QTest::newRow("percent sign in name") << "X%2" << 7 << -1 << -1 << "X%2(7)";
    }
    void format()
    {
        QFETCH(QString, type);
        QFETCH(int, length);
        QFETCH(int, precision);
        QFETCH(int, scale);
        QTEST(formatDataType(type, length, precision, scale), "expected");
    }

    void numeric_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("expected");
        const char* numeric[] = {"NUMBER", "NUMERIC", "DECIMAL", "DEC", "FLOAT", "DOUBLE", "REAL",
                                 "MONEY", "SMALLMONEY", "BINARY_FLOAT", "BINARY_DOUBLE",
                                 "DOUBLE PRECISION", "FIXED", "FLOAT4", "FLOAT8"};
        for (const char* name : numeric) {
            QTest::newRow(name) << QString::fromLatin1(name) << true;
            QTest::addRow("%s lower", name) << QString::fromLatin1(name).toLower() << true;
        }
        QTest::newRow("blanks around") << "  double precision " << true;
        QTest::newRow("two inner blanks") << "DOUBLE  PRECISION" << false;
        QTest::newRow("INT") << "INT" << false;
        QTest::newRow("INTEGER") << "INTEGER" << false;
        QTest::newRow("BIGINT") << "BIGINT" << false;
        QTest::newRow("with size") << "DECIMAL(10,2)" << false;
        QTest::newRow("empty") << "" << false;
    }
    void numeric()
    {
        QFETCH(QString, name);
        QTEST(isNumericDataType(name), "expected");
    }

    // Parsing the display text of a parsed type gives the same parts back.
    void formatThenParseRoundTrips_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("length") << "VARCHAR(255)";
        QTest::newRow("pair") << "NUMBER(10,2)";
        QTest::newRow("precision") << "FLOAT(53)";
        QTest::newRow("bare") << "TIMESTAMP WITH TIME ZONE";
    }
    void formatThenParseRoundTrips()
    {
        QFETCH(QString, text);
        const ParsedDataType first = parseDataType(text);
        const QString shown = formatDataType(first.baseType, first.length, first.precision, first.scale);
        QCOMPARE(shown, text);
        const ParsedDataType second = parseDataType(shown);
        QCOMPARE(second.baseType, first.baseType);
        QCOMPARE(second.length, first.length);
        QCOMPARE(second.precision, first.precision);
        QCOMPARE(second.scale, first.scale);
    }
};

QUILLMAP_TEST_GUILESS_MAIN(TestDataTypes)
#include "tst_datatypes.moc"
