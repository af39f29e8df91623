// Deflate of the chunks of one time slab, byte for byte as the library's
// deflate filter would store them, and the check that lets a chunk that has
// not changed since the last slab keep its compressed bytes.
//
// At every output the writer compresses about two megabytes per eight
// thousand nodes. The filter does it with compress2, which sets up fresh
// compression memory (about 260 KB) for every chunk; here one zlib stream
// per thread is kept and reset before each chunk, which writes the same
// bytes, and the writer hands the finished chunks to the library with direct
// chunk writes.
#pragma once

#include <cstddef>
#include <span>

namespace kalvir::tmd {

// The deflate filter's output bound for nbytes of input: a compressed chunk
// longer than this is stored raw by the filter.
std::size_t filter_bound(std::size_t nbytes);

// Compresses raw at the given level into out (filter_bound(raw.size())
// bytes), as compress2 does (zlib stream, default window and memory level,
// default strategy, one finishing call). Returns the compressed size, or 0
// when it would exceed the filter's output bound: the filter, being
// optional, then stores the raw bytes.
std::size_t deflate_chunk(std::span<const unsigned char> raw, int level, unsigned char* out);

// Whether packed, a zlib stream made by deflate_chunk at the level the
// caller compares, inflates to exactly raw. Compares piece by
// piece and stops at the first difference, so that it costs little on data
// that has changed; on data that has not, it costs a fraction of deflating
// it again.
bool inflates_to(std::span<const unsigned char> packed, std::span<const unsigned char> raw);

}  // namespace kalvir::tmd
