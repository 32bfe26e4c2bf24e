// A template line under macro replacement.  Text put in by a replacement
// (values and their padding) is marked, and the search for macro names,
// "@Space", "\n" and field arguments only looks at the operator's own text,
// so a value that happens to contain a macro name (an area called
// "@AREA", say) is printed as it is and never expanded again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vex {

constexpr size_t kMaxLine = 255;

struct MacroLine {
  std::string text;   // the line itself, at most kMaxLine bytes
  std::string upper;  // UpperCp866(text), kept in step
  std::string value;  // per byte: 1 when it came from a replacement
  // Inserted text has & < > " written as HTML character references.
  bool htmlEscape = false;
  // The letters (bit 26: any other byte) that follow an "@" of template
  // text, or once did: a name "@X..." is looked for only when X is here.
  uint32_t afterAt = 0;

  explicit MacroLine(std::string_view line);

  bool IsValue(size_t pos) const { return value[pos] != 0; }
  // First occurrence of an upper-case name made wholly of template text,
  // at or after `from`; npos when there is none.
  size_t Find(std::string_view upperName, size_t from = 0) const;
  void Erase(size_t pos, size_t count);
  // Inserts replacement text at pos (escaped when htmlEscape is set); the
  // line is cut to kMaxLine bytes.
  void Insert(size_t pos, std::string_view text);
};

// Replaces every "@Space" by a space and every "\n" by LF CR (both with
// field arguments), then every occurrence of name by value.  Names are
// matched without regard to case.
void SetMacro(std::string_view name, const std::string& value,
              MacroLine& line);
// Replaces each occurrence of name in turn; an occurrence followed by "("
// takes a field argument (FormatField).
void ReplaceAll(MacroLine& line, const std::string& value,
                std::string_view name);
// The occurrence's name has been removed and line.text[pos] is "(": reads
// the field argument "(width[,R|L|C])", removes it and puts the padded
// value in its place.  An argument without its ")" runs to the end of the
// line.  A value longer than the width is not cut.
void FormatField(MacroLine& line, size_t pos, const std::string& value);
// The bar length (or the @AREA cutting width) that the first occurrence of
// name asks for: the number before the first "," after it; 0 without one.
int32_t GraphWidth(std::string_view name, const MacroLine& line);
// Pads a whole line to width: mode "R..." on the left, "L..." on the right,
// "C..." one space at each end per step.  Never past kMaxLine bytes.
std::string JustifyLine(std::string text, int64_t width,
                        std::string_view mode);

}  // namespace vex
