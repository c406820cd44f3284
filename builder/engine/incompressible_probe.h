// Tells, cheaply and conservatively, whether deflate can gain anything on a
// chunk: random and already packed data is then stored instead of packed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace ql {

// One probe per thread: it keeps its scratch memory from chunk to chunk.
class IncompressibleProbe {
public:
    IncompressibleProbe();
    ~IncompressibleProbe();
    IncompressibleProbe(const IncompressibleProbe&) = delete;
    IncompressibleProbe& operator=(const IncompressibleProbe&) = delete;

    // Chunks shorter than this are never called incompressible: storing them
    // would save little time, and deflate's smaller blocks leave too thin a
    // margin there to be sure that storing is no larger.
    static constexpr size_t kMinLength = size_t{1} << 18;

    // True only when every aligned 16 KiB has a byte histogram close to
    // uniform (nothing for Huffman codes to gain), no sampled string
    // of 8 bytes recurs within deflate's 32 KiB window and hardly any short
    // one does (nothing for matches to gain). The answer depends on the data
    // alone.
    bool LooksIncompressible(const uint8_t* data, size_t length);

private:
    struct Scratch;
    std::unique_ptr<Scratch> scratch_;
};

}  // namespace ql
