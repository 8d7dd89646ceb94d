#pragma once

#include <QByteArray>

// Inflating compressed payloads embedded in documents (diagram pages,
// compressed SVG). Pure and thread-safe: everything lives in the call.

// The most bytes one payload may inflate to. A larger result is treated as
// a decompression bomb and the attempt fails.
constexpr qsizetype kMaxInflatedPayloadBytes = qsizetype(64) * 1024 * 1024;

// One zlib inflate attempt of input with the given window bits (-15 raw
// deflate, 15 zlib header, 31 gzip header, 47 either header). True when the
// stream ends properly and produced at least one byte; output then holds the
// inflated bytes. False for a damaged or truncated stream, a stream that
// stops making progress, or one that would inflate past maxBytes (at most
// kMaxInflatedPayloadBytes); output is then empty, and *tooLarge (when
// given) tells the last case.
bool inflateDiagramPayload(const QByteArray& input, QByteArray& output, int windowBits,
                           bool* tooLarge = nullptr, qsizetype maxBytes = kMaxInflatedPayloadBytes);
