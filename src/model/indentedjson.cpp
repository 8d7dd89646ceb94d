#include "model/indentedjson.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QLocale>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

QByteArray IndentedJsonWriter::finish()
{
    m_out.truncate(m_size);
    return std::move(m_out);
}

void IndentedJsonWriter::writeObject(const QJsonObject& object, int level)
{
    appendChar('{');
    newLine();
    const int inner = level + 1;
    for (auto it = object.constBegin(), end = object.constEnd(); it != end;) {
        indent(inner);
        appendChar('"');
        appendEscaped(it.key());
        keySeparator();
        writeValue(it.value(), inner);
        ++it;
        if (it != end)
            appendChar(',');
        newLine();
    }
    indent(level);
    appendChar('}');
}

void IndentedJsonWriter::writeArray(const QJsonArray& array, int level)
{
    appendChar('[');
    newLine();
    const int inner = level + 1;
    for (qsizetype i = 0, n = array.size(); i < n; ++i) {
        indent(inner);
        writeValue(array.at(i), inner);
        if (i + 1 < n)
            appendChar(',');
        newLine();
    }
    indent(level);
    appendChar(']');
}

void IndentedJsonWriter::writeValue(const QJsonValue& value, int level)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        if (value.toBool())
            append("true", 4);
        else
            append("false", 5);
        break;
    case QJsonValue::Double:
        writeNumber(value);
        break;
    case QJsonValue::String:
        appendChar('"');
        appendEscaped(value.toString());
        appendChar('"');
        break;
    case QJsonValue::Array:
        writeArray(value.toArray(), level);
        break;
    case QJsonValue::Object:
        writeObject(value.toObject(), level);
        break;
    case QJsonValue::Null:
    case QJsonValue::Undefined:
    default:
        append("null", 4);
        break;
    }
}

// A JSON value keeps a whole number as an integer and anything else as
// a double, and the two are written differently (1e+20 as a double,
// 100000000000000000000 never); only the variant tells them apart.
void IndentedJsonWriter::writeNumber(const QJsonValue& value)
{
    const QVariant number = value.toVariant();
    if (number.userType() == QMetaType::LongLong) {
        const QByteArray text = QByteArray::number(number.toLongLong());
        append(text.constData(), text.size());
        return;
    }
    const double d = number.toDouble();
    if (!std::isfinite(d)) {
        append("null", 4);
        return;
    }
    const QByteArray text = QByteArray::number(d, 'g', QLocale::FloatingPointShortest);
    append(text.constData(), text.size());
}

void IndentedJsonWriter::appendEscaped(const QString& text)
{
    static const char hex[] = "0123456789abcdef";
    const char16_t* src = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = src + text.size();
    // At most six bytes (an escape) per UTF-16 unit.
    char* out = reserve(6 * text.size());
    char* const start = out;
    while (src != end) {
        const char16_t u = *src++;
        if (u < 0x80) {
            if (u >= 0x20 && u != u'"' && u != u'\\') {
                *out++ = static_cast<char>(u);
                continue;
            }
            *out++ = '\\';
            switch (u) {
            case u'"': *out++ = '"'; break;
            case u'\\': *out++ = '\\'; break;
            case 0x08: *out++ = 'b'; break;
            case 0x0c: *out++ = 'f'; break;
            case 0x0a: *out++ = 'n'; break;
            case 0x0d: *out++ = 'r'; break;
            case 0x09: *out++ = 't'; break;
            default:
                *out++ = 'u';
                *out++ = '0';
                *out++ = '0';
                *out++ = hex[u >> 4];
                *out++ = hex[u & 0xf];
                break;
            }
        } else if (u < 0x800) {
            *out++ = static_cast<char>(0xc0 | (u >> 6));
            *out++ = static_cast<char>(0x80 | (u & 0x3f));
        } else if (!QChar::isSurrogate(u)) {
            *out++ = static_cast<char>(0xe0 | (u >> 12));
            *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3f));
            *out++ = static_cast<char>(0x80 | (u & 0x3f));
        } else if (QChar::isHighSurrogate(u) && src != end && QChar::isLowSurrogate(*src)) {
            const char32_t ucs4 = QChar::surrogateToUcs4(u, *src++);
            *out++ = static_cast<char>(0xf0 | (ucs4 >> 18));
            *out++ = static_cast<char>(0x80 | ((ucs4 >> 12) & 0x3f));
            *out++ = static_cast<char>(0x80 | ((ucs4 >> 6) & 0x3f));
            *out++ = static_cast<char>(0x80 | (ucs4 & 0x3f));
        } else {
            // A surrogate without its other half has no UTF-8 form.
            *out++ = '\\';
            *out++ = 'u';
            *out++ = hex[(u >> 12) & 0xf];
            *out++ = hex[(u >> 8) & 0xf];
            *out++ = hex[(u >> 4) & 0xf];
            *out++ = hex[u & 0xf];
        }
    }
    m_size += out - start;
}

void IndentedJsonWriter::indent(int level)
{
    if (m_compact)
        return;
    const qsizetype n = 4 * qsizetype(level);
    std::memset(reserve(n), ' ', size_t(n));
    m_size += n;
}

void IndentedJsonWriter::append(const char* data, qsizetype n)
{
    std::memcpy(reserve(n), data, size_t(n));
    m_size += n;
}

// Room for n more bytes; returns where they go.
char* IndentedJsonWriter::reserve(qsizetype n)
{
    if (m_size + n > m_out.size())
        m_out.resize(std::max<qsizetype>(2 * m_out.size(), m_size + n + 4096));
    return m_out.data() + m_size;
}

void IndentedJsonWriter::close(char bracket, int level)
{
    newLine();
    indent(level);
    appendChar(bracket);
}

void IndentedJsonWriter::member(const char* key, int level, bool first)
{
    if (!first)
        appendChar(',');
    newLine();
    indent(level);
    appendChar('"');
    append(key, qsizetype(std::strlen(key)));
    keySeparator();
}

void IndentedJsonWriter::element(int level, bool first)
{
    if (!first)
        appendChar(',');
    newLine();
    indent(level);
}

void IndentedJsonWriter::writeString(const QString& text)
{
    appendChar('"');
    appendEscaped(text);
    appendChar('"');
}

void IndentedJsonWriter::writeInteger(qint64 number)
{
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    quint64 magnitude = number < 0 ? 0 - quint64(number) : quint64(number);
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (number < 0)
        *--p = '-';
    append(p, end - p);
}


QByteArray toIndentedJson(const QJsonObject& object)
{
    IndentedJsonWriter writer;
    writer.writeObject(object, 0);
    QByteArray text = writer.finish();
    text.append('\n');
    return text;
}
