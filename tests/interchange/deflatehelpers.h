#pragma once

#include <QByteArray>

#include <zlib.h>

#include <functional>

// Compressing test payloads with zlib: the counterpart of the inflation
// under test. windowBits: -15 raw deflate, 15 zlib header, 31 gzip header.

// Deflates the bytes that produce() hands out, one piece per call, until it
// returns an empty piece; so large payloads need not exist in memory whole.
inline QByteArray deflateStream(const std::function<QByteArray()>& produce, int windowBits,
                                int level = Z_BEST_COMPRESSION)
{
    z_stream stream{};
    if (deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out;
    char chunk[16384];
    for (;;) {
        QByteArray piece = produce();
        const int flush = piece.isEmpty() ? Z_FINISH : Z_NO_FLUSH;
        stream.next_in = reinterpret_cast<Bytef*>(piece.data());
        stream.avail_in = static_cast<uInt>(piece.size());
        int rc = Z_OK;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(chunk);
            stream.avail_out = sizeof chunk;
            rc = deflate(&stream, flush);
            out.append(chunk, qsizetype(sizeof chunk) - stream.avail_out);
        } while (stream.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
        if (flush == Z_FINISH)
            break;
    }
    deflateEnd(&stream);
    return out;
}

inline QByteArray deflateBytes(const QByteArray& bytes, int windowBits)
{
    bool given = false;
    return deflateStream(
        [&]() {
            if (given)
                return QByteArray();
            given = true;
            return bytes;
        },
        windowBits);
}
