#include "runtime/output/tmd/tmd_deflate.h"

#include <zlib.h>

#include <cmath>
#include <cstring>

namespace kalvir::tmd {
namespace {

// The thread's deflate stream, set up at its first chunk (runs without TMD
// output never make one) and reset for every further chunk: a reset stream
// writes exactly what a fresh one writes, without allocating its memory
// again. A chunk at another level sets the stream up anew.
class Deflater {
 public:
  Deflater() = default;
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  ~Deflater() { end(); }

  // The stream, empty and set to level; null when zlib could not set it up.
  z_stream* at_level(int level) {
    if (ready_ && level_ == level) return deflateReset(&z_) == Z_OK ? &z_ : nullptr;
    end();
    ready_ = deflateInit(&z_, level) == Z_OK;
    level_ = level;
    return ready_ ? &z_ : nullptr;
  }

 private:
  void end() {
    if (ready_) deflateEnd(&z_);
    ready_ = false;
    z_ = z_stream{};
  }
  z_stream z_{};
  int level_ = 0;
  bool ready_ = false;
};

// The thread's inflate stream for raw deflate data, kept the same way.
class Inflater {
 public:
  Inflater() = default;
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (ready_) inflateEnd(&z_);
  }

  z_stream* reset() {
    if (ready_) return inflateReset(&z_) == Z_OK ? &z_ : nullptr;
    constexpr int kRawWindowBits = -15;
    ready_ = inflateInit2(&z_, kRawWindowBits) == Z_OK;
    return ready_ ? &z_ : nullptr;
  }

 private:
  z_stream z_{};
  bool ready_ = false;
};

}  // namespace

std::size_t filter_bound(std::size_t nbytes) {
  return static_cast<std::size_t>(std::ceil(static_cast<double>(nbytes) * 1.001)) + 12;
}

bool inflates_to(std::span<const unsigned char> packed, std::span<const unsigned char> raw) {
  // The body alone: equal rows imply an equal checksum, and the header
  // depends on the level alone, which the caller compares.
  constexpr std::size_t kHeader = 2;
  constexpr std::size_t kTrailer = 4;
  if (packed.size() < kHeader + kTrailer) return false;
  packed = packed.subspan(kHeader, packed.size() - kHeader - kTrailer);
  thread_local Inflater inflater;
  z_stream* z = inflater.reset();
  if (z == nullptr) return false;
  // Piece by piece, so that a chunk that has changed stops at its first
  // differing piece.
  constexpr std::size_t kPiece = 4096;
  unsigned char piece[kPiece];
  z->next_in = const_cast<Bytef*>(packed.data());
  z->avail_in = static_cast<uInt>(packed.size());
  std::size_t done = 0;
  int status = Z_OK;
  bool same = true;
  while (same && status == Z_OK) {
    z->next_out = piece;
    z->avail_out = kPiece;
    status = inflate(z, Z_NO_FLUSH);
    const std::size_t got = kPiece - z->avail_out;
    same = (status == Z_OK || status == Z_STREAM_END) && done + got <= raw.size() &&
           std::memcmp(piece, raw.data() + done, got) == 0;
    done += got;
    if (status == Z_OK && got == 0 && z->avail_in == 0) break;  // truncated: not the same
  }
  return same && status == Z_STREAM_END && done == raw.size();
}

std::size_t deflate_chunk(std::span<const unsigned char> raw, int level, unsigned char* out) {
  thread_local Deflater deflater;
  z_stream* z = deflater.at_level(level);
  if (z == nullptr) return 0;
  z->next_in = const_cast<Bytef*>(raw.data());
  z->avail_in = static_cast<uInt>(raw.size());
  z->next_out = out;
  z->avail_out = static_cast<uInt>(filter_bound(raw.size()));
  if (deflate(z, Z_FINISH) != Z_STREAM_END) return 0;
  return z->total_out;
}

}  // namespace kalvir::tmd
