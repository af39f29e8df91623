#include "runtime/output/tmd/tmd_deflate.h"

#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kalvir::tmd {
namespace {

// Compression memory, reused from one chunk to the next: a fresh deflate
// stream allocates about 260 KB, which malloc takes from new pages (zeroed
// by the kernel, faulted in anew) at every call of compress2.
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

// Made at the first chunk: runs without TMD output never map it.
Arena& arena() {
  static Arena memory;
  return memory;
}

}  // namespace

std::size_t filter_bound(std::size_t nbytes) {
  return static_cast<std::size_t>(std::ceil(static_cast<double>(nbytes) * 1.001)) + 12;
}

bool inflates_to(std::span<const unsigned char> packed, std::span<const unsigned char> raw) {
  Arena& a = arena();
  a.rewind();
  z_stream z{};
  z.zalloc = &Arena::alloc;
  z.zfree = &Arena::release;
  z.opaque = &a;
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
  Arena& a = arena();
  a.rewind();
  const std::size_t bound = filter_bound(raw.size());
  z_stream z{};
  z.zalloc = &Arena::alloc;
  z.zfree = &Arena::release;
  z.opaque = &a;
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

}  // namespace kalvir::tmd
