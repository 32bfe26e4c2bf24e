// Line-by-line reading and writing of text files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"

namespace vex {

// How the bytes of a text file are taken.
enum class TextEncoding {
  // CP866 bytes, as they stand (TIC files, stores, the program's own files).
  kCp866,
  // Files people edit (configuration, templates, area configuration): a
  // file that is well-formed UTF-8, holds a character of more than one byte
  // and only characters that CP866 has, or one that begins with the UTF-8
  // byte-order mark, is converted to CP866 line by line ("?" for a
  // character CP866 lacks; the mark itself is dropped).  Any other file is
  // read as CP866 bytes.
  kUtf8OrCp866,
};

// Reads lines from an open file.  A line ends at LF; a CR directly before the
// LF is dropped.  A line longer than 255 bytes keeps its first 255 bytes and
// the rest of that line is skipped (a UTF-8 line: its first 255 characters).
// A read failure throws RunTimeError.
class LineReader {
 public:
  explicit LineReader(File& file, size_t maxLine = 255,
                      TextEncoding encoding = TextEncoding::kCp866);
  LineReader(File& file, TextEncoding encoding)
      : LineReader(file, 255, encoding) {}
  // False at end of file.
  bool Next(std::string& line);
  // True when the file is read as UTF-8.
  bool IsUtf8() const { return utf8_; }

 private:
  bool Fill();
  bool NextBytes(std::string& line, size_t max);
  void DetectUtf8();
  File& file_;
  size_t maxLine_;
  bool utf8_ = false;
  uint64_t offset_ = 0;
  std::string buf_;
  size_t pos_ = 0;
  bool eof_ = false;
};

// Opens a text file for reading.  On failure writes to the console
// "Ошибка при открытии файла: " and the reason for the error (no line end)
// and returns nullptr.
std::unique_ptr<File> OpenTextForRead(Env& env, const std::string& path);

// Appends text at the end of an open file; a write failure throws
// RunTimeError naming the file.
class TextWriter {
 public:
  explicit TextWriter(File& file);
  void Write(const std::string& bytes);
  void WriteLine(const std::string& line, const char* eol = "\r\n");

 private:
  File& file_;
  uint64_t offset_ = 0;
};

}  // namespace vex
