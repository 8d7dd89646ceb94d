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
    // over in slices. Output goes straight into the result, which grows by
    // doubling: pages are only touched when written, so a generous first
    // guess costs nothing, and the copying stays linear in the result.
    const char* next = input.constData();
    qsizetype remaining = input.size();
    qsizetype produced = 0;
    output.resize(std::min<qsizetype>(std::max<qsizetype>(input.size() * 16, 64 * 1024), kMaxInflatedPayloadBytes));
    for (;;) {
        if (stream.avail_in == 0 && remaining > 0) {
            const qsizetype slice = std::min<qsizetype>(remaining, UINT_MAX);
            stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(next));
            stream.avail_in = static_cast<uInt>(slice);
            next += slice;
            remaining -= slice;
        }
        if (produced == output.size()) {
            // Full: one more byte than the cap tells a bomb from a page of
            // exactly the largest size.
            if (produced > kMaxInflatedPayloadBytes)
                return finish(false);
            output.resize(std::min<qsizetype>(2 * output.size(), kMaxInflatedPayloadBytes + 1));
        }
        const qsizetype room = std::min<qsizetype>(output.size() - produced, UINT_MAX);
        stream.next_out = reinterpret_cast<Bytef*>(output.data() + produced);
        stream.avail_out = static_cast<uInt>(room);
        const uInt inputBefore = stream.avail_in;

        const int rc = inflate(&stream, Z_NO_FLUSH);
        const qsizetype made = room - stream.avail_out;
        produced += made;
        if (produced > kMaxInflatedPayloadBytes)
            return finish(false);

        if (rc == Z_STREAM_END) {
            output.truncate(produced);
            return finish(produced > 0);
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return finish(false);
        // A call that neither took input nor gave output will not do better
        // next time: the stream is truncated (no input left) or stuck.
        if (made == 0 && stream.avail_in == inputBefore)
            return finish(false);
    }
}
