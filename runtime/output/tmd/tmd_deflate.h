// Deflate of the chunks of one time slab, byte for byte as the library's
// deflate filter would store them, shared between the calling thread and a
// small pool of worker threads.
//
// At every output the writer compresses about a megabyte per eight thousand
// nodes; done by the filter, inside the library, that work is serial. Here
// each chunk is compressed on its own (zlib is thread-safe, each thread keeps
// its own compression memory), and the caller then hands the finished chunks
// to the library one by one: no library call is ever made off the calling
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kalvir::tmd {

// The deflate filter's output bound for nbytes of input: a compressed chunk
// longer than this is stored raw by the filter.
std::size_t filter_bound(std::size_t nbytes);

// Compresses raw at the given level into out (filter_bound(raw.size())
// bytes), as compress2 does (zlib stream,
// default window and memory level, default strategy, one finishing call),
// using this thread's reusable compression memory. Returns the compressed
// size, or 0 when it would exceed the filter's output bound: the filter,
// being optional, then stores the raw bytes.
std::size_t deflate_chunk(std::span<const unsigned char> raw, int level, unsigned char* out);

// Whether packed, a zlib stream, inflates to exactly raw. Compares piece by
// piece and stops at the first difference, so that it costs little on data
// that has changed; on data that has not, it costs a fraction of deflating
// it again.
bool inflates_to(std::span<const unsigned char> packed, std::span<const unsigned char> raw);

// Runs job(i) for every i below n on the pool's workers and the calling
// thread, and returns when all have finished. Jobs must not call the HDF5
// library. With no workers (one usable processor) the caller runs them all.
void run_parallel(std::size_t n, const std::function<void(std::size_t)>& job);

// Worker threads of the pool: up to three, one fewer than the processors the
// process may run on.
unsigned deflate_workers();

}  // namespace kalvir::tmd
