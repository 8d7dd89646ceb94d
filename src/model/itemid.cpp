#include "model/itemid.h"

#include <QRandomGenerator>
#include <QRegularExpression>

QString generateItemId()
{
    // A version 4 (random) UUID. The bits come from the global generator,
    // which the system seeds securely once; asking the system source for every
    // id would make loading a large project noticeably slower, since each of
    // its hundreds of thousands of items starts with a fresh id.
    quint32 words[4];
    QRandomGenerator::global()->fillRange(words);
    uchar bytes[16];
    for (int i = 0; i < 4; ++i) {
        bytes[4 * i] = uchar(words[i] >> 24);
        bytes[4 * i + 1] = uchar(words[i] >> 16);
        bytes[4 * i + 2] = uchar(words[i] >> 8);
        bytes[4 * i + 3] = uchar(words[i]);
    }
    bytes[6] = uchar((bytes[6] & 0x0f) | 0x40);  // version 4
    bytes[8] = uchar((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant

    static const char digits[] = "0123456789abcdef";
    QString id(36, Qt::Uninitialized);
    QChar* out = id.data();
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *out++ = QLatin1Char('-');
        *out++ = QLatin1Char(digits[bytes[i] >> 4]);
        *out++ = QLatin1Char(digits[bytes[i] & 0x0f]);
    }
    return id;
}

bool isGeneratedItemId(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return pattern.match(text).hasMatch();
}
