#include "runtime/output/tmd/tmd_deflate.h"

#include <sched.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace kalvir::tmd {
namespace {

// Compression memory of one thread, reused from one chunk to the next: a
// fresh deflate stream allocates about 260 KB, which malloc takes from new
// pages (zeroed by the kernel, faulted in anew) at every call of compress2.
// The stream itself is still initialised anew for every chunk, so that its
// output is exactly that of compress2.
class Arena {
 public:
  static constexpr std::size_t kBytes = 512 * 1024;

  void rewind() { used_ = 0; }

  static voidpf alloc(voidpf opaque, uInt items, uInt size) {
    auto* self = static_cast<Arena*>(opaque);
    const std::size_t bytes = (static_cast<std::size_t>(items) * size + 63) & ~std::size_t{63};
    if (self->used_ + bytes <= kBytes) {
      void* p = self->memory_.get() + self->used_;
      self->used_ += bytes;
      return p;
    }
    return std::calloc(items, size);
  }
  static void release(voidpf opaque, voidpf p) {
    auto* self = static_cast<Arena*>(opaque);
    const auto* c = static_cast<unsigned char*>(p);
    if (c >= self->memory_.get() && c < self->memory_.get() + kBytes) return;
    std::free(p);
  }

 private:
  std::unique_ptr<unsigned char[]> memory_{new unsigned char[kBytes]};
  std::size_t used_ = 0;
};

class Pool {
 public:
  explicit Pool(unsigned workers) {
    for (unsigned w = 0; w < workers; ++w) threads_.emplace_back([this] { work(); });
    // Never joined: the pool lives until the process ends, and a run may
    // end (exit from inside the model) at any point between two outputs.
    for (auto& t : threads_) t.detach();
  }

  unsigned workers() const { return static_cast<unsigned>(threads_.size()); }

  void run(std::size_t n, const std::function<void(std::size_t)>& job) {
    if (n == 0) return;
    if (threads_.empty() || n == 1) {
      for (std::size_t i = 0; i < n; ++i) job(i);
      return;
    }
    {
      std::lock_guard lock(mutex_);
      job_ = &job;
      count_ = n;
      next_.store(0);
      done_ = 0;
      ++generation_;
    }
    wake_.notify_all();
    const std::size_t mine = take(job);
    std::unique_lock lock(mutex_);
    done_ += mine;
    // Workers that joined this run may still be about to look for work:
    // the job must outlive them.
    finished_.wait(lock, [&] { return done_ == count_ && active_ == 0; });
    job_ = nullptr;
  }

 private:
  // Runs jobs until none is left; returns how many this thread ran.
  std::size_t take(const std::function<void(std::size_t)>& job) {
    std::size_t ran = 0;
    for (std::size_t i = next_.fetch_add(1); i < count_; i = next_.fetch_add(1)) {
      job(i);
      ++ran;
    }
    return ran;
  }

  void work() {
    std::uint64_t seen = 0;
    for (;;) {
      const std::function<void(std::size_t)>* job = nullptr;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return generation_ != seen && job_ != nullptr; });
        seen = generation_;
        job = job_;
        ++active_;
      }
      const std::size_t ran = take(*job);
      std::lock_guard lock(mutex_);
      done_ += ran;
      --active_;
      if (done_ == count_ && active_ == 0) finished_.notify_one();
    }
  }

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_, finished_;
  const std::function<void(std::size_t)>* job_ = nullptr;
  std::size_t count_ = 0;
  std::size_t done_ = 0;
  unsigned active_ = 0;
  std::atomic<std::size_t> next_{0};
  std::uint64_t generation_ = 0;
};

unsigned usable_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return static_cast<unsigned>(std::max(CPU_COUNT(&set), 1));
}

// The process's pool, made at first use. A child made by fork has none of
// its parent's threads, so it makes its own.
Pool& pool() {
  static Pool* current = nullptr;
  static pid_t owner = 0;
  if (current == nullptr || owner != ::getpid()) {
    constexpr unsigned kMaxWorkers = 3;
    current = new Pool(std::min(kMaxWorkers, usable_processors() - 1));
    owner = ::getpid();
  }
  return *current;
}

}  // namespace

std::size_t filter_bound(std::size_t nbytes) {
  return static_cast<std::size_t>(std::ceil(static_cast<double>(nbytes) * 1.001)) + 12;
}

namespace {
thread_local Arena arena;
}  // namespace

bool inflates_to(std::span<const unsigned char> packed, std::span<const unsigned char> raw) {
  arena.rewind();
  z_stream z{};
  z.zalloc = &Arena::alloc;
  z.zfree = &Arena::release;
  z.opaque = &arena;
  if (inflateInit(&z) != Z_OK) return false;
  // Piece by piece, so that a chunk that has changed stops at its first
  // differing piece.
  constexpr std::size_t kPiece = 4096;
  unsigned char piece[kPiece];
  z.next_in = const_cast<Bytef*>(packed.data());
  z.avail_in = static_cast<uInt>(packed.size());
  std::size_t done = 0;
  int status = Z_OK;
  bool same = true;
  while (same && status == Z_OK) {
    z.next_out = piece;
    z.avail_out = kPiece;
    status = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = kPiece - z.avail_out;
    same = (status == Z_OK || status == Z_STREAM_END) && done + got <= raw.size() &&
           std::memcmp(piece, raw.data() + done, got) == 0;
    done += got;
    if (status == Z_OK && got == 0 && z.avail_in == 0) break;  // truncated: not the same
  }
  inflateEnd(&z);
  return same && status == Z_STREAM_END && done == raw.size();
}

std::size_t deflate_chunk(std::span<const unsigned char> raw, int level, unsigned char* out) {
  arena.rewind();
  const std::size_t bound = filter_bound(raw.size());
  z_stream z{};
  z.zalloc = &Arena::alloc;
  z.zfree = &Arena::release;
  z.opaque = &arena;
  if (deflateInit(&z, level) != Z_OK) return 0;
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out;
  z.avail_out = static_cast<uInt>(bound);
  const int status = deflate(&z, Z_FINISH);
  const std::size_t produced = z.total_out;
  deflateEnd(&z);
  return status == Z_STREAM_END ? produced : 0;
}

void run_parallel(std::size_t n, const std::function<void(std::size_t)>& job) { pool().run(n, job); }

unsigned deflate_workers() { return pool().workers(); }

}  // namespace kalvir::tmd
