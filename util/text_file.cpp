#include "util/text_file.h"

#include <cerrno>

#include "platform/cp866.h"
#include "platform/exit.h"
#include "platform/utf8_check.h"

namespace vex {

namespace {

constexpr size_t kReadChunk = 16384;

// The reason for an errno value.  Only the errno values that have a Win32
// counterpart get a reason: any other one (EIO is 5 and ENOMEM 12, the same
// numbers as two of the Win32 codes) has none.
std::string OpenErrorReason(Env& env, int err, const std::string& path) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case EMFILE:
    case ENFILE:
    case EACCES:
    case EPERM:
    case EISDIR:
      break;
    default:
      return std::string();
  }
  switch (Win32ErrorCode(env, err, path)) {
    case 2:
      return Cp866("файл не найден");
    case 3:
      return Cp866("маршрут не найден");
    case 4:
      return Cp866("слишком много открытых файлов");
    case 5:
      return Cp866("закрыт доступ");
    case 12:
      return Cp866("некорректный код доступа к файлам");
    default:
      return std::string();
  }
}

}  // namespace

LineReader::LineReader(File& file, size_t maxLine, TextEncoding encoding)
    : file_(file), maxLine_(maxLine) {
  if (encoding == TextEncoding::kUtf8OrCp866) DetectUtf8();
}

// One pass over the whole file decides: UTF-8 is only taken for a file that
// is well-formed from its first byte to its last and holds only characters
// that exist in CP866, or that begins with the byte-order mark.
void LineReader::DetectUtf8() {
  Utf8Check check;
  bool bom = false;
  uint64_t at = 0;
  std::string chunk(kReadChunk, '\0');
  for (;;) {
    long long n = file_.ReadAt(at, chunk.data(), kReadChunk);
    if (n < 0) FailIo("read", file_.Path(), file_.LastError());
    if (n == 0) break;
    std::string_view piece(chunk.data(), static_cast<size_t>(n));
    if (at == 0) bom = piece.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    at += static_cast<uint64_t>(n);
    check.Feed(piece);
    if (!check.StillValid()) break;
  }
  // A CP866 text can be well-formed UTF-8 by chance ("\xF1\xAB\xAA\xA0" is
  // one 4-byte sequence): without the mark, a character that CP866 lacks
  // means the file was not written as UTF-8 for this program.
  utf8_ = bom || (check.WellFormed() && check.HasMultiByte() && check.AllInCp866());
  if (bom) offset_ = kUtf8Bom.size();
}

bool LineReader::Fill() {
  if (eof_) return false;
  buf_.resize(kReadChunk);
  long long n = file_.ReadAt(offset_, buf_.data(), kReadChunk);
  if (n < 0) {
    buf_.clear();
    pos_ = 0;
    FailIo("read", file_.Path(), file_.LastError());
  }
  buf_.resize(static_cast<size_t>(n));
  pos_ = 0;
  offset_ += static_cast<uint64_t>(n);
  if (n == 0) eof_ = true;
  return n > 0;
}

bool LineReader::Next(std::string& line) {
  if (!utf8_) return NextBytes(line, maxLine_);
  // A character takes at most four bytes: enough bytes for maxLine
  // characters, converted and then cut.
  if (!NextBytes(line, 4 * maxLine_)) return false;
  line = Utf8ToCp866(line);
  if (line.size() > maxLine_) line.resize(maxLine_);
  return true;
}

bool LineReader::NextBytes(std::string& line, size_t maxLine) {
  line.clear();
  // Keeps at most maxLine + 1 bytes: enough to drop a CR that ends the kept
  // part and still hold maxLine bytes.
  size_t total = 0;
  char last = 0;
  bool any = false;
  for (;;) {
    if (pos_ >= buf_.size() && !Fill()) break;
    any = true;
    size_t nl = buf_.find('\n', pos_);
    size_t end = nl == std::string::npos ? buf_.size() : nl;
    size_t count = end - pos_;
    if (count > 0) {
      size_t room = maxLine + 1 > line.size() ? maxLine + 1 - line.size() : 0;
      line.append(buf_, pos_, count < room ? count : room);
      total += count;
      last = buf_[end - 1];
    }
    if (nl != std::string::npos) {
      pos_ = nl + 1;
      if (total > 0 && last == '\r') --total;
      break;
    }
    pos_ = end;
  }
  if (!any) return false;
  if (line.size() > total) line.resize(total);
  if (line.size() > maxLine) line.resize(maxLine);
  return true;
}

std::unique_ptr<File> OpenTextForRead(Env& env, const std::string& path) {
  int err = 0;
  std::unique_ptr<File> file = env.Open(path, OpenMode::kRead, &err);
  if (!file) {
    env.ConsoleWrite(Cp866("Ошибка при открытии файла: ") +
                     OpenErrorReason(env, err, path));
  }
  return file;
}

TextWriter::TextWriter(File& file) : file_(file) {
  uint64_t size = 0;
  if (!file_.Size(&size)) FailIo("size", file_.Path(), file_.LastError());
  offset_ = size;
}

void TextWriter::Write(const std::string& bytes) {
  if (bytes.empty()) return;
  if (!file_.WriteAt(offset_, bytes.data(), bytes.size()))
    FailIo("write", file_.Path(), file_.LastError());
  offset_ += bytes.size();
}

void TextWriter::WriteLine(const std::string& line, const char* eol) {
  Write(line + eol);
}

}  // namespace vex
