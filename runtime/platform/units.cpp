#include "runtime/platform/units.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "runtime/platform/fixed_string.h"

namespace kalvir::platform {

namespace {

enum class LastOp { None, Read, Write };

struct Connection {
  std::FILE* file = nullptr;
  std::string name;
  Form form = Form::Formatted;
  bool scratch = false;
  bool is_stdout = false;
  LastOp last = LastOp::None;
  std::int64_t lines_read = 0;
};

std::map<int, Connection>& table() {
  static std::map<int, Connection> units;
  return units;
}

int err_or(int fallback) { return errno != 0 ? errno : fallback; }

// Unit 6 is standard output whenever it is not connected to a file.
Connection* find(int unit) {
  auto& t = table();
  auto it = t.find(unit);
  if (it != t.end()) return &it->second;
  if (unit == kStdoutUnit) {
    auto& c = t[kStdoutUnit];
    c.file = stdout;
    c.name = "stdout";
    c.is_stdout = true;
    return &c;
  }
  return nullptr;
}

std::FILE* open_existing(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "r+b");
  if (f == nullptr && (errno == EACCES || errno == EROFS)) f = std::fopen(name.c_str(), "rb");
  return f;
}

// C streams need a positioning call between reads and writes; a sequential
// write also ends the file after the record written, as on any sequential unit.
int prepare(Connection& c, LastOp op) {
  if (c.is_stdout || c.last == op) {
    c.last = op;
    return 0;
  }
  if (op == LastOp::Write) {
    if (std::fseek(c.file, 0, SEEK_CUR) != 0) return err_or(EIO);
    const long pos = std::ftell(c.file);
    if (pos >= 0 && ::ftruncate(fileno(c.file), pos) != 0 && errno != EINVAL) return err_or(EIO);
  } else if (c.last == LastOp::Write) {
    if (std::fflush(c.file) != 0) return err_or(EIO);
    if (std::fseek(c.file, 0, SEEK_CUR) != 0) return err_or(EIO);
  }
  c.last = op;
  return 0;
}

}  // namespace

std::string io_status_text(int status) {
  if (status == 0) return "no error";
  if (status == kIoEnd) return "end of file";
  return std::strerror(status);
}

int unit_open(int unit, std::string_view name_in, Form form, OpenStatus status) {
  errno = 0;
  if (auto* c = find(unit); c != nullptr && !c->is_stdout) unit_close(unit, CloseStatus::Keep);
  const std::string name(trim_right(name_in));
  std::FILE* f = nullptr;
  switch (status) {
    case OpenStatus::Old:
      f = open_existing(name);
      break;
    case OpenStatus::New:
      f = std::fopen(name.c_str(), "w+bx");
      break;
    case OpenStatus::Unknown:
      f = file_exists(name) ? open_existing(name) : std::fopen(name.c_str(), "w+b");
      break;
    case OpenStatus::Replace:
      f = std::fopen(name.c_str(), "w+b");
      break;
    case OpenStatus::Scratch:
      f = std::tmpfile();
      break;
  }
  if (f == nullptr) return err_or(EIO);
  Connection c;
  c.file = f;
  c.name = status == OpenStatus::Scratch ? std::string() : name;
  c.form = form;
  c.scratch = status == OpenStatus::Scratch;
  table()[unit] = std::move(c);
  return 0;
}

int unit_close(int unit, CloseStatus status) {
  auto& t = table();
  auto it = t.find(unit);
  if (it == t.end()) return 0;
  Connection c = std::move(it->second);
  t.erase(it);
  if (c.is_stdout) {
    std::fflush(stdout);
    return 0;
  }
  errno = 0;
  int rc = std::fclose(c.file) == 0 ? 0 : err_or(EIO);
  if (status == CloseStatus::Delete && !c.scratch && !c.name.empty()) {
    if (std::remove(c.name.c_str()) != 0 && rc == 0) rc = err_or(EIO);
  }
  return rc;
}

bool unit_is_open(int unit) {
  const auto& t = table();
  auto it = t.find(unit);
  return unit == kStdoutUnit || (it != t.end() && !it->second.is_stdout);
}

std::string unit_name(int unit) {
  const Connection* c = find(unit);
  return c == nullptr ? std::string() : c->name;
}

int unit_rewind(int unit) {
  Connection* c = find(unit);
  if (c == nullptr) return EBADF;
  if (c->is_stdout) return 0;
  errno = 0;
  if (std::fflush(c->file) != 0) return err_or(EIO);
  std::rewind(c->file);
  c->last = LastOp::None;
  c->lines_read = 0;
  return 0;
}

int unit_flush(int unit) {
  Connection* c = find(unit);
  if (c == nullptr) return EBADF;
  errno = 0;
  return std::fflush(c->file) == 0 ? 0 : err_or(EIO);
}

int unit_seek_end(int unit) {
  Connection* c = find(unit);
  if (c == nullptr) return EBADF;
  if (c->is_stdout) return 0;
  errno = 0;
  if (std::fseek(c->file, 0, SEEK_END) != 0) return err_or(EIO);
  c->last = LastOp::None;
  return 0;
}

int write_line(int unit, std::string_view line) {
  Connection* c = find(unit);
  if (c == nullptr) return EBADF;
  if (int rc = prepare(*c, LastOp::Write); rc != 0) return rc;
  errno = 0;
  if ((!line.empty() && std::fwrite(line.data(), 1, line.size(), c->file) != line.size()) ||
      std::fputc('\n', c->file) == EOF) {
    return err_or(EIO);
  }
  return 0;
}

int read_line(int unit, std::string& line) {
  Connection* c = find(unit);
  if (c == nullptr || c->is_stdout) return EBADF;
  if (int rc = prepare(*c, LastOp::Read); rc != 0) return rc;
  line.clear();
  int ch = 0;
  bool any = false;
  while ((ch = std::fgetc(c->file)) != EOF) {
    any = true;
    if (ch == '\n') break;
    line.push_back(static_cast<char>(ch));
  }
  if (std::ferror(c->file)) return err_or(EIO);
  if (!any) return kIoEnd;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  ++c->lines_read;
  return 0;
}

std::int64_t lines_read(int unit) {
  const Connection* c = find(unit);
  return c == nullptr ? 0 : c->lines_read;
}

namespace {

void put_le32(std::byte* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::byte>((v >> (8 * i)) & 0xFFU);
}

std::uint32_t get_le32(const std::byte* p) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return v;
}

// Reads a record's leading length: -1 at a clean end of file.
int read_length(Connection& c, std::int64_t& length) {
  std::byte head[4];
  const std::size_t got = std::fread(head, 1, 4, c.file);
  if (got == 0 && std::feof(c.file)) return kIoEnd;
  if (got != 4) return std::ferror(c.file) ? err_or(EIO) : EIO;
  length = static_cast<std::int32_t>(get_le32(head));
  if (length < 0) return EIO;
  // A length beyond the end of the file means a damaged record.
  struct stat st {};
  const long pos = std::ftell(c.file);
  if (::fstat(fileno(c.file), &st) == 0 && pos >= 0 && length + 4 > st.st_size - pos) return EIO;
  return 0;
}

// The record file connected to unit, ready to read its next record, whose
// leading length is read into length; null with the status in rc when the
// unit is no record file or the length cannot be read.
Connection* start_record_read(int unit, std::int64_t& length, int& rc) {
  Connection* c = find(unit);
  if (c == nullptr || c->is_stdout) {
    rc = EBADF;
    return nullptr;
  }
  rc = prepare(*c, LastOp::Read);
  if (rc == 0) {
    errno = 0;
    rc = read_length(*c, length);
  }
  return rc == 0 ? c : nullptr;
}

}  // namespace

int write_record(int unit, std::span<const std::byte> bytes) {
  Connection* c = find(unit);
  if (c == nullptr || c->is_stdout) return EBADF;
  if (bytes.size() > 0x7FFFFFFFU) return EFBIG;
  if (int rc = prepare(*c, LastOp::Write); rc != 0) return rc;
  std::byte len[4];
  put_le32(len, static_cast<std::uint32_t>(bytes.size()));
  errno = 0;
  if (std::fwrite(len, 1, 4, c->file) != 4 ||
      (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), c->file) != bytes.size()) ||
      std::fwrite(len, 1, 4, c->file) != 4) {
    return err_or(EIO);
  }
  return 0;
}

int read_record(int unit, std::vector<std::byte>& bytes) {
  std::int64_t length = 0;
  int rc = 0;
  Connection* const c = start_record_read(unit, length, rc);
  if (c == nullptr) return rc;
  bytes.resize(static_cast<std::size_t>(length));
  std::byte tail[4];
  if ((!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), c->file) != bytes.size()) ||
      std::fread(tail, 1, 4, c->file) != 4) {
    return std::ferror(c->file) ? err_or(EIO) : EIO;
  }
  if (get_le32(tail) != static_cast<std::uint32_t>(length)) return EIO;
  return 0;
}

int skip_record(int unit) {
  std::int64_t length = 0;
  int rc = 0;
  Connection* const c = start_record_read(unit, length, rc);
  if (c == nullptr) return rc;
  if (std::fseek(c->file, static_cast<long>(length), SEEK_CUR) != 0) return err_or(EIO);
  std::byte tail[4];
  if (std::fread(tail, 1, 4, c->file) != 4) return EIO;
  if (get_le32(tail) != static_cast<std::uint32_t>(length)) return EIO;
  return 0;
}

void close_all_units() {
  auto& t = table();
  while (!t.empty()) unit_close(t.begin()->first, CloseStatus::Keep);
  std::fflush(stdout);
}

bool file_exists(std::string_view name) {
  struct stat st {};
  return ::stat(std::string(trim_right(name)).c_str(), &st) == 0;
}

int file_remove(std::string_view name) {
  errno = 0;
  return std::remove(std::string(trim_right(name)).c_str()) == 0 ? 0 : err_or(EIO);
}

// --- records -------------------------------------------------------------

RecordWriter& RecordWriter::i32(std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) buf_.push_back(static_cast<std::byte>((u >> (8 * i)) & 0xFFU));
  return *this;
}

RecordWriter& RecordWriter::i32s(std::span<const std::int32_t> v) {
  for (auto x : v) i32(x);
  return *this;
}

RecordWriter& RecordWriter::f64(double v) {
  std::uint64_t u = 0;
  std::memcpy(&u, &v, 8);
  for (int i = 0; i < 8; ++i) buf_.push_back(static_cast<std::byte>((u >> (8 * i)) & 0xFFU));
  return *this;
}

RecordWriter& RecordWriter::f64s(std::span<const double> v) {
  for (auto x : v) f64(x);
  return *this;
}

RecordWriter& RecordWriter::chars(std::string_view s, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    buf_.push_back(static_cast<std::byte>(i < s.size() ? s[i] : ' '));
  }
  return *this;
}

RecordWriter& RecordWriter::bytes(std::span<const std::byte> b) {
  buf_.insert(buf_.end(), b.begin(), b.end());
  return *this;
}

bool RecordReader::take(std::size_t n) noexcept {
  if (failed_ || b_.size() - pos_ < n) {
    failed_ = true;
    return false;
  }
  return true;
}

std::int32_t RecordReader::i32() noexcept {
  if (!take(4)) return 0;
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(b_[pos_ + i]) << (8 * i);
  pos_ += 4;
  return static_cast<std::int32_t>(u);
}

double RecordReader::f64() noexcept {
  if (!take(8)) return 0.0;
  std::uint64_t u = 0;
  for (int i = 0; i < 8; ++i) u |= static_cast<std::uint64_t>(b_[pos_ + i]) << (8 * i);
  pos_ += 8;
  double v = 0.0;
  std::memcpy(&v, &u, 8);
  return v;
}

std::string RecordReader::chars(std::size_t width) {
  if (!take(width)) return std::string(width, ' ');
  std::string s(reinterpret_cast<const char*>(b_.data() + pos_), width);
  pos_ += width;
  return s;
}

void RecordReader::skip(std::size_t nbytes) noexcept {
  if (take(nbytes)) pos_ += nbytes;
}

}  // namespace kalvir::platform
