// The TMD writer's chunk pipeline: the chunks of one slab are filled and
// compressed on a few worker threads and on the calling thread at once,
// while the calling thread hands the finished ones to the library in chunk
// order. Every HDF5 call stays on the calling thread; the workers only read
// the model's arrays and run deflate on buffers the writer owns.
//
// The workers are started once, at the first slab that has two chunks or
// more, and joined when the process ends (a failing run ends through exit
// too). Their number follows the processors this process may run on, less
// one for the calling thread; with one processor there are none and the
// writer works alone, as it would without the pool.
#pragma once

#include <cstddef>
#include <functional>

namespace kalvir::tmd {

// Chunks in flight at once: chunk k uses slot k % kChunkSlots, whose buffers
// the writer keeps from one slab to the next.
inline constexpr std::size_t kChunkSlots = 6;

// For k = 0 .. n - 1: prepare(k) on the calling thread (before job k, and
// only once ready(k - kChunkSlots) has returned), job(k) on any thread,
// ready(k) on the calling thread in order of k once job k has finished.
// An exception from any of them ends the run of chunks: jobs already begun
// are waited for, and the first exception is passed on.
void run_chunks(std::size_t n, const std::function<void(std::size_t)>& prepare,
                const std::function<void(std::size_t)>& job, const std::function<void(std::size_t)>& ready);

// Worker threads the pool has or would have (0: every chunk on the calling
// thread): the usable processors less one, at most four.
unsigned chunk_workers();

}  // namespace kalvir::tmd
