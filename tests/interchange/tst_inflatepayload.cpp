#include "interchange/inflatepayload.h"

#include "common/testmain.h"

#include "deflatehelpers.h"

#include <QRandomGenerator>
#include <QTest>

class TestInflatePayload : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void eitherHeader_data();
    void eitherHeader();
    void damagedStreamsFail_data();
    void damagedStreamsFail();
    void capIsInclusive();
    void bombFails_data();
    void bombFails();
};

void TestInflatePayload::roundTrip_data()
{
    QTest::addColumn<int>("windowBits");
    QTest::addColumn<int>("size");
    for (const int bits : {-15, 15, 31}) {
        for (const int size : {1, 100, 16384, 16385, 300000}) {
            const QByteArray name = QByteArray::number(bits) + " bits, " + QByteArray::number(size) + " bytes";
            QTest::newRow(name.constData()) << bits << size;
        }
    }
}

// Random (incompressible) and repetitive bytes both come back exactly,
// across the boundaries of the inflater's output chunks.
void TestInflatePayload::roundTrip()
{
    QFETCH(int, windowBits);
    QFETCH(int, size);
    QRandomGenerator random(quint32(size) * 7 + quint32(windowBits + 100));
    QByteArray noise(size, Qt::Uninitialized);
    for (char& c : noise)
        c = char(random.bounded(256));
    const QByteArray pattern = QByteArray("<mxCell id=\"a\"/>").repeated(size / 16 + 1).left(size);
    for (const QByteArray& original : {noise, pattern}) {
        QByteArray out("stale");
        QVERIFY(inflateDiagramPayload(deflateBytes(original, windowBits), out, windowBits));
        QCOMPARE(out, original);
    }
}

// Compressed drawings come with either header and are read with one call
// that tells them apart; raw deflate has no header to tell by.
void TestInflatePayload::eitherHeader_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<bool>("readable");
    QTest::newRow("zlib") << 15 << true;
    QTest::newRow("gzip") << 31 << true;
    QTest::newRow("raw") << -15 << false;
}

void TestInflatePayload::eitherHeader()
{
    QFETCH(int, framing);
    QFETCH(bool, readable);
    const QByteArray svg = QByteArray("<svg><rect width=\"5\" height=\"5\"/></svg>").repeated(500);
    QByteArray out;
    QCOMPARE(inflateDiagramPayload(deflateBytes(svg, framing), out, 15 + 32), readable);
    QCOMPARE(out, readable ? svg : QByteArray());
}

void TestInflatePayload::damagedStreamsFail_data()
{
    const QByteArray text = QByteArray("%3CmxGraphModel%3E").repeated(2000);
    const QByteArray raw = deflateBytes(text, -15);
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("windowBits");
    QTest::newRow("empty input") << QByteArray() << -15;
    QTest::newRow("empty stream") << deflateBytes(QByteArray(), -15) << -15;
    QTest::newRow("truncated raw") << raw.left(raw.size() / 2) << -15;
    QTest::newRow("truncated by one byte") << raw.left(raw.size() - 1) << -15;
    QTest::newRow("raw read as zlib") << raw << 15;
    QTest::newRow("zlib read as gzip") << deflateBytes(text, 15) << 31;
    QTest::newRow("gzip truncated in trailer") << deflateBytes(text, 31).chopped(3) << 31;
    QTest::newRow("plain text") << QByteArray("<mxGraphModel><root/></mxGraphModel>") << 15;
    QTest::newRow("bad window bits") << raw << 99;
}

void TestInflatePayload::damagedStreamsFail()
{
    QFETCH(QByteArray, input);
    QFETCH(int, windowBits);
    QByteArray out("stale");
    QVERIFY(!inflateDiagramPayload(input, out, windowBits));
    QVERIFY(out.isEmpty());
}

// Zeros in slices, so that neither side needs the whole payload at once.
static QByteArray deflatedZeros(qsizetype total, int windowBits)
{
    qsizetype left = total;
    return deflateStream(
        [&]() {
            const qsizetype n = std::min<qsizetype>(left, 1 << 20);
            left -= n;
            return QByteArray(n, '\0');
        },
        windowBits, Z_BEST_SPEED);
}

void TestInflatePayload::capIsInclusive()
{
    QByteArray out;
    QVERIFY(inflateDiagramPayload(deflatedZeros(kMaxInflatedPayloadBytes, -15), out, -15));
    QCOMPARE(out.size(), kMaxInflatedPayloadBytes);
}

// A small payload that would inflate to 128 MiB is refused once the cap is
// passed, with nothing kept; so is one a single byte over the cap.
void TestInflatePayload::bombFails_data()
{
    QTest::addColumn<int>("windowBits");
    QTest::addColumn<qint64>("size");
    QTest::newRow("raw, 128 MiB") << -15 << qint64(128) * 1024 * 1024;
    QTest::newRow("gzip, one byte over") << 31 << qint64(kMaxInflatedPayloadBytes + 1);
}

void TestInflatePayload::bombFails()
{
    QFETCH(int, windowBits);
    QFETCH(qint64, size);
    const QByteArray bomb = deflatedZeros(size, windowBits);
    QVERIFY(bomb.size() < (1 << 20));
    QByteArray out("stale");
    QVERIFY(!inflateDiagramPayload(bomb, out, windowBits));
    QVERIFY(out.isEmpty());
}

QUILLMAP_TEST_GUILESS_MAIN(TestInflatePayload)
#include "tst_inflatepayload.moc"
