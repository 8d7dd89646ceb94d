#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The indented text of a JSON object, byte for byte what
// QJsonDocument(object).toJson(QJsonDocument::Indented) gives: four spaces a
// level, keys in the object's order, strings in UTF-8 with the same escapes,
// numbers written the same way. Unlike Qt's writer, which makes room for
// every nested object by copying all the text written so far, it grows its
// buffer geometrically, so that the time stays linear in the size of the
// document (a large project file is written several times faster).
QByteArray toIndentedJson(const QJsonObject& object);

// The writer behind toIndentedJson, open to the model items, which write
// their own fields straight into it rather than building a QJsonObject
// first: keys in the order a QJsonObject keeps them (ascending), the same
// separators and indentation, so the bytes are those of the object they
// stand for. Members and elements take their separator before them:
//   beginObject(); member("a", level, true) value...; member("b", level,
//   false) value...; endObject(level);
class IndentedJsonWriter
{
public:
    // A compact writer leaves out the line breaks, the indentation and the
    // space after each key: the same document in fewer bytes, for comparing
    // two documents rather than for a file. Two documents have equal compact
    // texts exactly when their indented texts are equal.
    explicit IndentedJsonWriter(bool compact = false)
        : m_compact(compact)
    {
    }
    QByteArray finish();

    void writeObject(const QJsonObject& object, int level);
    void writeArray(const QJsonArray& array, int level);
    void writeValue(const QJsonValue& value, int level);

    void beginObject() { appendChar('{'); }
    void endObject(int level) { close('}', level); }
    void beginArray() { appendChar('['); }
    void endArray(int level) { close(']', level); }
    // The separator and indentation of a member at level (the object's
    // level plus one), then its key. key is plain ASCII needing no escape.
    void member(const char* key, int level, bool first);
    // The separator and indentation of an array element at level.
    void element(int level, bool first);

    void writeString(const QString& text);
    void writeInteger(qint64 number);
    void writeBool(bool value) { value ? append("true", 4) : append("false", 5); }
    // An array of items, each written by its own writeJson one level in;
    // null items are left out. afterEach runs once an item is written.
    template <typename Items, typename AfterEach>
    void writeItems(const Items& items, int level, AfterEach afterEach)
    {
        beginArray();
        bool first = true;
        for (const auto* item : items) {
            if (!item)
                continue;
            element(level + 1, first);
            item->writeJson(*this, level + 1);
            first = false;
            afterEach();
        }
        endArray(level);
    }
    template <typename Items>
    void writeItems(const Items& items, int level)
    {
        writeItems(items, level, [] {});
    }
    void append(const char* data, qsizetype n);

private:
    void close(char bracket, int level);
    void writeNumber(const QJsonValue& value);
    void appendEscaped(const QString& text);
    void indent(int level);
    void newLine()
    {
        if (!m_compact)
            appendChar('\n');
    }
    void keySeparator() { m_compact ? append("\":", 2) : append("\": ", 3); }
    void appendChar(char c)
    {
        *reserve(1) = c;
        ++m_size;
    }
    // Room for n more bytes; returns where they go.
    char* reserve(qsizetype n);

    QByteArray m_out;
    qsizetype m_size = 0;
    bool m_compact = false;
};
