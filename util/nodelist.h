// The names of the systems of a nodelist: system name, location and sysop
// by address.  The nodelist is the standard text format, one entry a line:
// "keyword,number,system name,location,sysop,phone,speed,flags...".  A
// Zone line sets the zone and the net to its number, a Region or Host line
// the net (each is node 0 of it); Hub, Pvt, Hold, Down and an empty keyword
// are nodes of the current net.  Underscores stand for blanks, ";" begins a
// comment line, and a 1A byte ends the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/env.h"
#include "util/address.h"

namespace vex {

struct NodeNames {
  std::string system, location, sysop;
};

class Nodelist {
 public:
  // Reads the text of a nodelist; lines it cannot read are skipped and
  // counted.  A node listed twice keeps its last entry.
  void Parse(std::string_view text);

  // The names of a node; a point has its boss node's.  nullptr when the
  // node is not listed.
  const NodeNames* Find(const FtnAddress& address) const;

  size_t NodeCount() const { return nodes_.size(); }
  size_t BadLines() const { return badLines_; }
  // The first line that could not be read (1-based; 0 when none) and its
  // text.
  size_t FirstBadLine() const { return firstBadLine_; }
  const std::string& FirstBadText() const { return firstBadText_; }

 private:
  std::unordered_map<uint64_t, NodeNames> nodes_;
  size_t badLines_ = 0, firstBadLine_ = 0;
  std::string firstBadText_;
};

// The file a NODELIST value names: the file itself when it exists, else the
// newest "VALUE.nnn" (three digits) beside it -- newest by the date of its
// first line (";A ..., 2026 -- Day number 003 : ..."), by the file's time
// where that line is missing.  Empty when there is none.
std::string ChooseNodelistFile(Env& env, const std::string& value);

// Reads the nodelist a NODELIST value names into *list; false (the list
// empty) when there is none or it cannot be read.  *file gets the file
// used, when there is one.
bool LoadNodelist(Env& env, const std::string& value, Nodelist* list,
                  std::string* file);

}  // namespace vex
