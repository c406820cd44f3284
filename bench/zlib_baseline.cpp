// Baseline for the build benchmark: the files named on standard input, one a
// line, read in the builder's 9 MiB chunks and packed by the plainest loop
// zlib allows: one deflateInit2 (level 9, window 15, memory level 8, default
// strategy), deflate with Z_FINISH and deflateEnd per chunk, on one thread.
// Nothing is allocated per chunk: the input and output buffers and the
// memory deflate asks for are kept from one chunk to the next, so that the
// loop measures packing rather than the heap growing and shrinking.
// Prints bytes read, bytes packed, seconds.
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "shared/container.h"

namespace {

// deflate asks for the same few blocks for every stream, in the same order:
// the first stream takes them from the heap and later ones get them back.
class KeptMemory {
public:
    static voidpf Allocate(voidpf self, uInt items, uInt size) {
        auto& kept = *static_cast<KeptMemory*>(self);
        const size_t bytes = size_t{items} * size;
        if (kept.next_ == kept.blocks_.size())
            kept.blocks_.push_back({std::make_unique<char[]>(bytes), bytes});
        auto& block = kept.blocks_[kept.next_++];
        if (block.size < bytes) block = {std::make_unique<char[]>(bytes), bytes};
        return block.data.get();
    }
    static void Free(voidpf, voidpf) {}
    void Rewind() { next_ = 0; }

private:
    struct Block {
        std::unique_ptr<char[]> data;
        size_t size;
    };
    std::vector<Block> blocks_;
    size_t next_ = 0;
};

bool Pack(z_stream& stream, KeptMemory& memory, const unsigned char* in, size_t n, unsigned char* out,
          size_t room, size_t& packed) {
    memory.Rewind();
    stream.zalloc = KeptMemory::Allocate;
    stream.zfree = KeptMemory::Free;
    stream.opaque = &memory;
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    stream.next_in = const_cast<unsigned char*>(in);
    stream.avail_in = static_cast<uInt>(n);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(room);
    const int result = deflate(&stream, Z_FINISH);
    packed = stream.total_out;
    deflateEnd(&stream);
    return result == Z_STREAM_END;
}

}  // namespace

int main() {
    const size_t chunk = ql::kChunkSize;
    std::vector<unsigned char> in(chunk), out(compressBound(chunk));
    KeptMemory memory;
    z_stream stream{};
    unsigned long long bytes = 0, packed = 0;
    auto start = std::chrono::steady_clock::now();
    for (std::string path; std::getline(std::cin, path);) {
        const int file = open(path.c_str(), O_RDONLY);
        if (file < 0) return 1;
        for (;;) {
            size_t n = 0;
            while (n < chunk) {  // a whole chunk, as the builder reads it
                const ssize_t got = read(file, in.data() + n, chunk - n);
                if (got < 0) return 1;
                if (got == 0) break;
                n += static_cast<size_t>(got);
            }
            if (n == 0) break;
            size_t length = 0;
            if (!Pack(stream, memory, in.data(), n, out.data(), out.size(), length)) return 1;
            bytes += n;
            packed += length;
            if (n < chunk) break;
        }
        close(file);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu %llu %.6f\n", bytes, packed, seconds);
    return 0;
}
