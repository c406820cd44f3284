// zlib packing of one chunk.
#include "builder/engine/pack_chunk.h"

#include <zlib.h>

#include "builder/engine/build_errors.h"

namespace ql {

std::vector<uint8_t> PackChunk(const uint8_t* data, size_t length) {
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw BuildError("错误");
    std::vector<uint8_t> packed(deflateBound(&stream, static_cast<uLong>(length)));
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(length);
    int result = Z_OK;
    while (result != Z_STREAM_END) {
        if (stream.total_out == packed.size()) packed.resize(packed.size() * 2);
        stream.next_out = packed.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(packed.size() - stream.total_out);
        result = deflate(&stream, Z_FINISH);
        if (result < 0 && result != Z_BUF_ERROR) {
            deflateEnd(&stream);
            throw BuildError("错误");
        }
    }
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

}  // namespace ql
