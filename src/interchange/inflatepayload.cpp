#include "interchange/inflatepayload.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

bool inflateDiagramPayload(const QByteArray& input, QByteArray& output, int windowBits)
{
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
    // over in slices.
    const char* next = input.constData();
    qsizetype remaining = input.size();
    char chunk[16384];
    for (;;) {
        if (stream.avail_in == 0 && remaining > 0) {
            const qsizetype slice = std::min<qsizetype>(remaining, UINT_MAX);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(next));
            stream.avail_in = static_cast<uInt>(slice);
            next += slice;
            remaining -= slice;
        }
        stream.next_out = reinterpret_cast<Bytef*>(chunk);
        stream.avail_out = sizeof chunk;
        const uInt inputBefore = stream.avail_in;

        const int rc = inflate(&stream, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(sizeof chunk) - stream.avail_out;
        if (output.size() + produced > kMaxInflatedPayloadBytes)
            return finish(false);
        if (output.capacity() - output.size() < produced) {
            // Doubling keeps the copying linear in the inflated size.
            output.reserve(std::min(std::max<qsizetype>(2 * output.capacity(), 65536),
                                    kMaxInflatedPayloadBytes));
        }
        output.append(chunk, produced);

        if (rc == Z_STREAM_END)
            return finish(!output.isEmpty());
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return finish(false);
        // A call that neither took input nor gave output will not do better
        // next time: the stream is truncated (no input left) or stuck.
        if (produced == 0 && stream.avail_in == inputBefore)
            return finish(false);
    }
}
