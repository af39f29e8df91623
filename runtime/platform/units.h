// Fortran-style numbered units over the file system.
//
// A unit is connected to one file at a time, either formatted (line records)
// or unformatted (records framed by their 4-byte little-endian length before
// and after). Unit 6 is standard output until it is opened on a file, and
// returns to standard output when that file is closed.
//
// Every operation returns an I/O status: 0 success, -1 end of file, otherwise
// a positive error number (errno, or EBADF/EINVAL for misuse of a unit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalvir::platform {

inline constexpr int kStdoutUnit = 6;
inline constexpr int kIoEnd = -1;

enum class Form { Formatted, Unformatted };
enum class OpenStatus { Old, New, Unknown, Scratch, Replace };
enum class CloseStatus { Keep, Delete };

// Connects unit to the file `name` (used as given, trailing blanks removed).
// Old: the file must exist. New: it must not. Unknown: opened if present,
// created if not; writes go after a rewind... as a Fortran sequential unit
// positioned at its start (a write truncates what follows). Scratch: a new
// unnamed file, deleted at close. Replace: created afresh.
// Opening a unit that is already connected closes it first (kept).
int unit_open(int unit, std::string_view name, Form form, OpenStatus status);

// Closes the unit; a unit that is not open is no error. Unit 6 on a file goes
// back to standard output.
int unit_close(int unit, CloseStatus status = CloseStatus::Keep);

// What an I/O status means, for messages: "end of file" for -1, the
// system's text of the error number otherwise.
std::string io_status_text(int status);

bool unit_is_open(int unit);
// The name the unit was opened on ("" when not open; "stdout" for unit 6 unattached).
std::string unit_name(int unit);
int unit_rewind(int unit);
int unit_flush(int unit);
// Positions the unit at its end (appending).
int unit_seek_end(int unit);

// Formatted units: one line record, without its newline.
int write_line(int unit, std::string_view line);
int read_line(int unit, std::string& line);
// The lines read from the unit since it was opened or rewound: the line
// number of the last one (0 for a unit that is not open).
std::int64_t lines_read(int unit);

// Unformatted units: one framed record.
int write_record(int unit, std::span<const std::byte> bytes);
int read_record(int unit, std::vector<std::byte>& bytes);
int skip_record(int unit);

// Closes every open unit (kept), flushing standard output. The end of a run
// calls it so that nothing relies on the process end to flush.
void close_all_units();

bool file_exists(std::string_view name);
// Removes a file; 0 or the errno.
int file_remove(std::string_view name);

// Builds the body of one unformatted record.
class RecordWriter {
 public:
  RecordWriter& i32(std::int32_t v);
  RecordWriter& i32s(std::span<const std::int32_t> v);
  RecordWriter& f64(double v);
  RecordWriter& f64s(std::span<const double> v);
  // Exactly width characters: cut or blank-padded.
  RecordWriter& chars(std::string_view s, std::size_t width);
  RecordWriter& chars(std::string_view s) { return chars(s, s.size()); }
  RecordWriter& bytes(std::span<const std::byte> b);
  std::span<const std::byte> data() const noexcept { return buf_; }
  std::size_t size() const noexcept { return buf_.size(); }
  void clear() noexcept { buf_.clear(); }

 private:
  std::vector<std::byte> buf_;
};

// Reads the fields of one unformatted record in order. Reading past the end
// of the record sets a failure flag instead of reading out of bounds.
class RecordReader {
 public:
  explicit RecordReader(std::span<const std::byte> bytes) noexcept : b_(bytes) {}
  std::int32_t i32() noexcept;
  double f64() noexcept;
  std::string chars(std::size_t width);
  void skip(std::size_t nbytes) noexcept;
  std::size_t remaining() const noexcept { return failed_ ? 0 : b_.size() - pos_; }
  // True once a read ran past the end of the record.
  bool failed() const noexcept { return failed_; }

 private:
  bool take(std::size_t n) noexcept;
  std::span<const std::byte> b_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace kalvir::platform
