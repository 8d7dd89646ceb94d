#include "interchange/inflatepayload.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

bool inflateDiagramPayload(const QByteArray& input, QByteArray& output, int windowBits, bool* tooLarge,
                           qsizetype maxBytes)
{
    const qsizetype cap = std::clamp<qsizetype>(maxBytes, 0, kMaxInflatedPayloadBytes);
    if (tooLarge)
        *tooLarge = false;
    output.clear();
    z_stream stream{};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return false;
    const auto finish = [&](bool ok) {
        inflateEnd(&stream);
        if (!ok)
            output.clear();
        return ok;
    };

    // zlib counts input in unsigned ints, so a very large input is handed
    // over in slices. Output goes into pieces, each twice the size of the
    // one before, joined once at the end: growing a single buffer would copy
    // everything inflated so far at every step. The first piece is a
    // generous guess (pages are only touched when written), so most
    // payloads fit in it and need no joining at all.
    const char* next = input.constData();
    qsizetype remaining = input.size();
    std::vector<QByteArray> pieces;
    qsizetype produced = 0; // over all pieces
    qsizetype used = 0;     // of the last piece
    qsizetype nextPieceSize =
        std::min<qsizetype>(std::max<qsizetype>(input.size() * 16, 64 * 1024), std::max<qsizetype>(cap, 1));
    for (;;) {
        if (stream.avail_in == 0 && remaining > 0) {
            const qsizetype slice = std::min<qsizetype>(remaining, UINT_MAX);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(next));
            stream.avail_in = static_cast<uInt>(slice);
            next += slice;
            remaining -= slice;
        }
        if (pieces.empty() || used == pieces.back().size()) {
            // Room for one byte more than the cap tells a bomb from a
            // payload of exactly the largest size.
            pieces.emplace_back(std::min<qsizetype>(nextPieceSize, cap + 1 - produced),
                                Qt::Uninitialized);
            used = 0;
            nextPieceSize *= 2;
        }
        QByteArray& piece = pieces.back();
        const qsizetype room = std::min<qsizetype>(piece.size() - used, UINT_MAX);
        stream.next_out = reinterpret_cast<Bytef*>(piece.data() + used);
        stream.avail_out = static_cast<uInt>(room);
        const uInt inputBefore = stream.avail_in;

        const int rc = inflate(&stream, Z_NO_FLUSH);
        const qsizetype made = room - stream.avail_out;
        produced += made;
        used += made;
        if (produced > cap) {
            if (tooLarge)
                *tooLarge = true;
            return finish(false);
        }

        if (rc == Z_STREAM_END) {
            if (produced == 0)
                return finish(false);
            piece.truncate(used);
            if (pieces.size() == 1) {
                output = std::move(piece);
            } else {
                output.resize(produced);
                char* to = output.data();
                for (const QByteArray& part : pieces) {
                    std::memcpy(to, part.constData(), size_t(part.size()));
                    to += part.size();
                }
            }
            return finish(true);
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return finish(false);
        // A call that neither took input nor gave output will not do better
        // next time: the stream is truncated (no input left) or stuck.
        if (made == 0 && stream.avail_in == inputBefore)
            return finish(false);
    }
}
