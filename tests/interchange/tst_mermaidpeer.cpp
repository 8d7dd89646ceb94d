// Checks the Mermaid reader and writer against Mermaid's own parser, run
// in Node (the version pinned under mermaid-node/). All texts go to one
// Node run in initTestCase; the test functions compare its answers.

#include "interchange/mermaidreader.h"
#include "interchange/mermaidtojson.h"
#include "interchange/mermaidwriter.h"

#include "common/testfiles.h"
#include "common/testmain.h"
#include "mermaidtestutil.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class TestMermaidPeer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sharedFilesReadAsMermaidReadsThem_data();
    void sharedFilesReadAsMermaidReadsThem();
    void exportsAreAcceptedAsWritten_data();
    void exportsAreAcceptedAsWritten();

private:
    // Texts handed to Mermaid, and its answers, by row name.
    QStringList m_names;
    QStringList m_texts;
    QHash<QString, QJsonObject> m_answers;
    QHash<QString, QJsonObject> m_diagrams; // the generated diagram of an export row
};

namespace {

const QStringList sharedFiles = {
    QStringLiteral("01-cardinality-symbols.mmd"),      QStringLiteral("02-cardinality-words.mmd"),
    QStringLiteral("03-attributes-and-keys.mmd"),      QStringLiteral("04-names-and-aliases.mmd"),
    QStringLiteral("05-front-matter-direction.mmd"),   QStringLiteral("06-markdown-fence.md"),
    QStringLiteral("07-marketplace-large.mmd"),        QStringLiteral("08-styles-and-self-references.mmd"),
};

QString readShared(const QString& name)
{
    return QString::fromUtf8(fileContents(QStringLiteral(QUILLMAP_TEST_DATA_DIR "/mermaid/") + name));
}

// What Mermaid itself is given of a Markdown page: its mermaid block.
QString mermaidBlock(const QString& text)
{
    static const QRegularExpression block(QStringLiteral("```mermaid\\n([\\s\\S]*?)```"));
    const QRegularExpressionMatch m = block.match(text);
    return m.hasMatch() ? m.captured(1) : text;
}

int cardinalityCode(const QString& mermaidName)
{
    if (mermaidName == QLatin1String("ONLY_ONE") || mermaidName == QLatin1String("MD_PARENT"))
        return 0;
    if (mermaidName == QLatin1String("ONE_OR_MORE"))
        return 1;
    if (mermaidName == QLatin1String("ZERO_OR_ONE"))
        return 2;
    if (mermaidName == QLatin1String("ZERO_OR_MORE"))
        return 3;
    return -1;
}

QString mermaidTitle(const QJsonObject& entity)
{
    const QString alias = entity[QStringLiteral("alias")].toString();
    return alias.isEmpty() ? entity[QStringLiteral("name")].toString() : alias;
}

// Mermaid's attribute in the form describeMermaidAttribute gives: a name
// written with a leading '*' is a primary key.
QString describeMermaidsAttribute(const QJsonObject& a)
{
    MermaidAttribute attribute;
    attribute.type = a[QStringLiteral("type")].toString();
    attribute.name = a[QStringLiteral("name")].toString();
    if (attribute.name.startsWith(QLatin1Char('*'))) {
        attribute.name.remove(0, 1);
        attribute.isPrimaryKey = true;
    }
    for (const QJsonValue& key : a[QStringLiteral("keys")].toArray()) {
        const QString k = key.toString().toUpper();
        attribute.isPrimaryKey = attribute.isPrimaryKey || k == QLatin1String("PK");
        attribute.isForeignKey = attribute.isForeignKey || k == QLatin1String("FK");
        attribute.isUniqueKey = attribute.isUniqueKey || k == QLatin1String("UK");
    }
    return describeMermaidAttribute(attribute);
}

// One relationship end by end: "A(card) B(card) : role", the ends in the
// order given, so that the reader's and Mermaid's orientations compare.
QString describeEnds(const QString& a, int cardA, const QString& b, int cardB, const QString& role)
{
    const QString first = QStringLiteral("%1(%2)").arg(a).arg(cardA);
    const QString second = QStringLiteral("%1(%2)").arg(b).arg(cardB);
    return (first <= second ? first + QLatin1Char(' ') + second : second + QLatin1Char(' ') + first)
        + QLatin1String(" : ") + role;
}

QString withoutZeroWidthSpace(QString text)
{
    return text.remove(QChar(0x200B));
}

} // namespace

void TestMermaidPeer::initTestCase()
{
    const bool required = qEnvironmentVariable("QUILLMAP_REQUIRE_NODE") == QLatin1String("1");
    const QString node = QStandardPaths::findExecutable(QStringLiteral("node"));
    const QDir nodeDir(QStringLiteral(QUILLMAP_MERMAID_NODE_DIR));
    if (node.isEmpty() || !QFileInfo::exists(nodeDir.filePath(QStringLiteral("node_modules/mermaid/package.json")))) {
        const char* why = "Mermaid's parser is not installed (node, or the npm install of the pinned mermaid "
                          "package into the build folder, is missing)";
        if (required)
            QFAIL(why);
        QSKIP(why);
    }

    for (const QString& file : sharedFiles) {
        m_names << file;
        m_texts << mermaidBlock(readShared(file));
        // The same file after import and export must read alike in Mermaid.
        QList<MermaidEntity> entities;
        QList<MermaidRelationship> relationships;
        QVERIFY(parseMermaidText(readShared(file), entities, relationships, nullptr));
        m_names << QLatin1String("exported ") + file;
        m_texts << sceneJsonToMermaid(mermaidModelToSceneJson(entities, relationships));
    }
    for (quint32 seed = 1; seed <= 80; ++seed) {
        MermaidDiagramGenerator generator(seed);
        const QJsonObject diagram = generator.diagram(generator.bounded(30));
        const QString name = QStringLiteral("generated %1").arg(seed);
        m_names << name;
        m_texts << sceneJsonToMermaid(diagram);
        m_diagrams.insert(name, diagram);
    }

    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("texts.json"));
    const QString output = dir.filePath(QStringLiteral("answers.json"));
    writeFile(input, QJsonDocument(QJsonArray::fromStringList(m_texts)).toJson(QJsonDocument::Compact));
    QProcess process;
    process.setWorkingDirectory(nodeDir.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(node, {nodeDir.filePath(QStringLiteral("mermaid-check.mjs")), input, output});
    QVERIFY2(process.waitForFinished(240000), "Node did not finish");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QJsonArray answers = QJsonDocument::fromJson(fileContents(output)).array();
    QCOMPARE(answers.size(), m_texts.size());
    for (int i = 0; i < answers.size(); ++i)
        m_answers.insert(m_names.at(i), answers.at(i).toObject());
}

void TestMermaidPeer::sharedFilesReadAsMermaidReadsThem_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("given");
    for (const QString& file : sharedFiles) {
        QTest::newRow(qPrintable(file)) << file << file;
        QTest::newRow(qPrintable(QLatin1String("exported ") + file)) << file << QLatin1String("exported ") + file;
    }
}

// Entity by entity, attribute by attribute and end by end, the reader
// finds what Mermaid finds in the shared files, and in our export of them
// (which keeps the files' titles and relationships).
void TestMermaidPeer::sharedFilesReadAsMermaidReadsThem()
{
    QFETCH(QString, file);
    QFETCH(QString, given);
    const QJsonObject answer = m_answers.value(given);
    QVERIFY2(answer[QStringLiteral("ok")].toBool(), qPrintable(answer[QStringLiteral("error")].toString()));

    // What the reader finds in the text Mermaid was given.
    QList<MermaidEntity> entities;
    QList<MermaidRelationship> relationships;
    QVERIFY(parseMermaidText(m_texts.at(m_names.indexOf(given)), entities, relationships, nullptr));
    if (given != file) {
        // The export keeps the titles and the relationships of the file.
        QList<MermaidEntity> original;
        QList<MermaidRelationship> originalRelationships;
        QVERIFY(parseMermaidText(readShared(file), original, originalRelationships, nullptr));
        QCOMPARE(entities.size(), original.size());
        for (int i = 0; i < entities.size(); ++i)
            QCOMPARE(entities.at(i).title, original.at(i).title);
        QCOMPARE(relationships.size(), originalRelationships.size());
        for (int i = 0; i < relationships.size(); ++i) {
            const MermaidRelationship& a = relationships.at(i);
            const MermaidRelationship& b = originalRelationships.at(i);
            QCOMPARE(describeEnds(a.from, a.fromCardinality, a.to, a.toCardinality, a.label),
                     describeEnds(b.from, b.fromCardinality, b.to, b.toCardinality, b.label));
        }
    }

    const QJsonArray theirEntities = answer[QStringLiteral("entities")].toArray();
    QStringList ours;
    QStringList theirs;
    for (const MermaidEntity& e : std::as_const(entities)) {
        QStringList attributes;
        for (const MermaidAttribute& a : e.attributes)
            attributes << describeMermaidAttribute(a);
        ours << e.title + QLatin1String(" {") + attributes.join(QLatin1String("; ")) + QLatin1Char('}');
    }
    QHash<QString, QString> titleOfName;
    for (const QJsonValue& v : theirEntities) {
        const QJsonObject e = v.toObject();
        QStringList attributes;
        for (const QJsonValue& a : e[QStringLiteral("attributes")].toArray())
            attributes << describeMermaidsAttribute(a.toObject());
        theirs << mermaidTitle(e) + QLatin1String(" {") + attributes.join(QLatin1String("; ")) + QLatin1Char('}');
        titleOfName.insert(e[QStringLiteral("name")].toString(), mermaidTitle(e));
    }
    QCOMPARE(ours, theirs);

    QStringList ourEnds;
    for (const MermaidRelationship& r : std::as_const(relationships))
        ourEnds << describeEnds(r.from, r.fromCardinality, r.to, r.toCardinality, r.label);
    QStringList theirEnds;
    for (const QJsonValue& v : answer[QStringLiteral("relationships")].toArray()) {
        const QJsonObject r = v.toObject();
        // cardB is the end at entityA.
        theirEnds << describeEnds(titleOfName.value(r[QStringLiteral("entityA")].toString()),
                                  cardinalityCode(r[QStringLiteral("cardB")].toString()),
                                  titleOfName.value(r[QStringLiteral("entityB")].toString()),
                                  cardinalityCode(r[QStringLiteral("cardA")].toString()),
                                  r[QStringLiteral("role")].toString());
    }
    QCOMPARE(ourEnds, theirEnds);
}

void TestMermaidPeer::exportsAreAcceptedAsWritten_data()
{
    QTest::addColumn<QString>("given");
    for (const QString& name : std::as_const(m_names)) {
        if (m_diagrams.contains(name))
            QTest::newRow(qPrintable(name)) << name;
    }
}

// Generated diagrams with odd titles, attribute names, types and labels:
// Mermaid accepts the export and finds every entity under its title, every
// attribute and every relationship with its ends and label.
void TestMermaidPeer::exportsAreAcceptedAsWritten()
{
    QFETCH(QString, given);
    const QJsonObject answer = m_answers.value(given);
    const QString text = m_texts.at(m_names.indexOf(given));
    QVERIFY2(answer[QStringLiteral("ok")].toBool(),
             qPrintable(answer[QStringLiteral("error")].toString() + QLatin1String("\n") + text));

    const QJsonObject diagram = m_diagrams.value(given);
    const QJsonArray entities = diagram[QStringLiteral("entities")].toArray();
    const QJsonArray theirEntities = answer[QStringLiteral("entities")].toArray();
    QCOMPARE(theirEntities.size(), entities.size());
    QHash<QString, int> indexOfName;
    for (int i = 0; i < entities.size(); ++i) {
        const QJsonObject theirs = theirEntities.at(i).toObject();
        indexOfName.insert(theirs[QStringLiteral("name")].toString(), i);
        const QString title = entities.at(i)[QStringLiteral("title")].toString();
        QString expected = title.trimmed();
        for (QChar& c : expected) {
            if (c.unicode() < 32)
                c = QLatin1Char(' ');
        }
        expected.replace(QLatin1Char('"'), QLatin1Char('\''))
            .replace(QLatin1Char('%'), QChar(0xFF05))
            .replace(QLatin1Char('\\'), QChar(0xFF3C));
        QCOMPARE(withoutZeroWidthSpace(mermaidTitle(theirs)), expected);

        QStringList ours;
        for (const QJsonValue& a : entities.at(i)[QStringLiteral("attributes")].toArray()) {
            MermaidAttribute attribute;
            attribute.name = sanitizeMermaidAttributeName(a[QStringLiteral("name")].toString()).remove(QLatin1Char('`'));
            if (attribute.name.isEmpty())
                continue;
            attribute.type = sanitizeMermaidType(a[QStringLiteral("type")].toString()).remove(QLatin1Char('`'));
            attribute.isPrimaryKey = a[QStringLiteral("isPrimaryKey")].toBool();
            attribute.isForeignKey = a[QStringLiteral("isForeignKey")].toBool();
            attribute.isUniqueKey = a[QStringLiteral("isUniqueKey")].toBool();
            ours << describeMermaidAttribute(attribute);
        }
        QStringList theirAttributes;
        for (const QJsonValue& a : theirs[QStringLiteral("attributes")].toArray())
            theirAttributes << describeMermaidsAttribute(a.toObject());
        QCOMPARE(theirAttributes, ours);
    }

    const QJsonArray edges = diagram[QStringLiteral("edges")].toArray();
    const QJsonArray theirRelationships = answer[QStringLiteral("relationships")].toArray();
    QCOMPARE(theirRelationships.size(), edges.size());
    for (int i = 0; i < edges.size(); ++i) {
        const QJsonObject edge = edges.at(i).toObject();
        const QJsonObject theirs = theirRelationships.at(i).toObject();
        QCOMPARE(indexOfName.value(theirs[QStringLiteral("entityA")].toString(), -1),
                 edge[QStringLiteral("from")].toString().mid(3).toInt());
        QCOMPARE(indexOfName.value(theirs[QStringLiteral("entityB")].toString(), -1),
                 edge[QStringLiteral("to")].toString().mid(3).toInt());
        QCOMPARE(cardinalityCode(theirs[QStringLiteral("cardB")].toString()), edge[QStringLiteral("startCard")].toInt());
        QCOMPARE(cardinalityCode(theirs[QStringLiteral("cardA")].toString()), edge[QStringLiteral("endCard")].toInt());
        QString label = edge[QStringLiteral("label")].toString();
        label.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('"'), QLatin1Char('\''));
        label.replace(QLatin1String("%%{"), QStringLiteral("%\uFF05{"));
        QCOMPARE(withoutZeroWidthSpace(theirs[QStringLiteral("role")].toString()), label);
    }
}

QUILLMAP_TEST_GUILESS_MAIN(TestMermaidPeer)
#include "tst_mermaidpeer.moc"
