// Line-by-line reading and writing of text files.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"

namespace vex {

// Reads lines from an open file.  A line ends at LF; a CR directly before the
// LF is dropped.  A line longer than 255 bytes keeps its first 255 bytes and
// the rest of that line is skipped.  A read failure throws RunTimeError.
class LineReader {
 public:
  explicit LineReader(File& file, size_t maxLine = 255);
  // False at end of file.
  bool Next(std::string& line);

 private:
  bool Fill();
  File& file_;
  size_t maxLine_;
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
