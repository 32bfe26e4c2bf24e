// Readers of a Squish and a JAM base written from the published layouts,
// apart from the library: they follow the base header, the frame chains
// and the index the way other programs of a node do.  Each returns "" for a
// whole base, or what is wrong.  `settled` is false for a base a run may
// have left unfinished (then whatever is linked after the last frame the
// header knows, index records past the header's count and a partial index
// record are allowed: the next open finishes or trims them) and true after
// the next run.
#pragma once

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vex::powercut {

inline uint32_t U32(const std::string& s, uint64_t at) {
  if (at + 4 > s.size()) return 0;
  const auto b = [&](uint64_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[at + i])); };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

// Squish: a 256-byte header (count at 4, first and last frame at 104 and
// 108, first and last free frame at 112 and 116, end of data at 120),
// frames of a 28-byte header (id, next, prev, frame length, message length,
// control length, type) and 12-byte index records (frame offset first).
inline std::string WalkSquish(const std::string& sqd, const std::string& sqi, bool settled) {
  if (!settled && sqd.empty() && sqi.empty()) return "";  // a creation just begun
  if (sqd.size() < 256) return "data file shorter than its header: " + std::to_string(sqd.size()) + " bytes";
  const uint32_t count = U32(sqd, 4), first = U32(sqd, 104), last = U32(sqd, 108);
  const uint32_t end = U32(sqd, 120);
  if (end < 256 || end > sqd.size())
    return "end of data " + std::to_string(end) + " outside 256.." + std::to_string(sqd.size());
  std::vector<std::pair<uint64_t, uint64_t>> extents;
  std::vector<uint32_t> frames;
  // One chain: frames of `type` from `from`, linked both ways; `counted`
  // frames (-1: any number) up to `tail`, then (unless settled) frames
  // linked past it.
  auto walk = [&](uint32_t from, uint32_t tail, int64_t counted, uint16_t type, const char* what) -> std::string {
    uint32_t prev = 0;
    int64_t n = 0;
    bool pastTail = from == 0 && tail == 0 && counted <= 0;
    std::set<uint32_t> seen;
    for (uint32_t off = from; off != 0; prev = off, off = U32(sqd, off + 4)) {
      const uint64_t limit = end;
      const std::string at = std::string(what) + " frame at " + std::to_string(off);
      if (pastTail && settled) return std::string(what) + " chain goes on past its last frame " + std::to_string(tail);
      if (!seen.insert(off).second) return std::string(what) + " chain loops at " + std::to_string(off);
      if (off < 256 || off + 28 > limit) return at + " lies outside the data";
      if (U32(sqd, off) != 0xAFAE4453u) return at + " has no frame id";
      if ((U32(sqd, off + 24) & 0xFFFF) != type) return at + " is of the wrong type";
      if (U32(sqd, off + 8) != prev) return at + " links back to " + std::to_string(U32(sqd, off + 8)) + ", not " + std::to_string(prev);
      const uint64_t stop = off + 28ull + U32(sqd, off + 12);
      if (stop > limit || U32(sqd, off + 16) > U32(sqd, off + 12)) return at + " runs past the data";
      extents.push_back({off, stop});
      if (type == 0) frames.push_back(off);
      ++n;
      if (off == tail) {
        if (counted >= 0 && n != counted) return std::string(what) + " chain reaches its last frame after " + std::to_string(n) + " of " + std::to_string(counted);
        pastTail = true;
        if (!settled) break;  // a reader that trusts the header stops here
      }
    }
    if (!pastTail)
      return std::string(what) + " chain ends at " + std::to_string(prev) + " but the base header says " + std::to_string(tail);
    return "";
  };
  std::string problem = walk(first, last, count, 0, "message");
  if (problem.empty()) problem = walk(U32(sqd, 112), U32(sqd, 116), -1, 1, "free");
  if (!problem.empty()) return problem;
  std::sort(extents.begin(), extents.end());
  for (size_t i = 1; i < extents.size(); ++i) {
    if (extents[i].first < extents[i - 1].second)
      return "frames at " + std::to_string(extents[i - 1].first) + " and " + std::to_string(extents[i].first) + " overlap";
  }
  if (sqi.size() / 12 < count || (settled && sqi.size() % 12 != 0))
    return "index of " + std::to_string(sqi.size()) + " bytes for " + std::to_string(count) + " messages";
  for (uint32_t i = 0; i < count; ++i) {
    if (U32(sqi, i * 12ull) != frames[i]) return "index record " + std::to_string(i) + " names another frame than the chain";
  }
  return "";
}

// JAM: a 1024-byte header ("JAM\0", active count at 12, first number at
// 20), 8-byte index records (header offset at 4; all ones when none) and
// 76-byte message headers ("JAM\0", subfield length at 8, number at 48,
// attributes at 52, text offset and length at 60 and 64) in the .jhr.
inline std::string WalkJam(const std::string& jhr, const std::string& jdx, const std::string& jdt, bool settled) {
  if (!settled && jhr.empty() && jdx.empty() && jdt.empty()) return "";  // a creation just begun
  if (jhr.size() < 1024 || jhr.compare(0, 4, std::string("JAM\0", 4)) != 0)
    return "header file of " + std::to_string(jhr.size()) + " bytes without a whole base header";
  if (settled && jdx.size() % 8 != 0) return "index of " + std::to_string(jdx.size()) + " bytes";
  const uint32_t active = U32(jhr, 12), base = U32(jhr, 20);
  uint32_t live = 0;
  for (uint64_t i = 0; (i + 1) * 8 <= jdx.size(); ++i) {
    const uint32_t at = U32(jdx, i * 8 + 4);
    if (at == 0xFFFFFFFFu) continue;
    const std::string msg = "message " + std::to_string(base + i);
    if (at < 1024 || at + 76ull > jhr.size() || jhr.compare(at, 4, std::string("JAM\0", 4)) != 0)
      return msg + ": index names no message header (" + std::to_string(at) + ")";
    if (at + 76ull + U32(jhr, at + 8) > jhr.size()) return msg + ": subfields run past the header file";
    if (U32(jhr, at + 48) != base + i) return msg + ": its header carries number " + std::to_string(U32(jhr, at + 48));
    if (U32(jhr, at + 60) + static_cast<uint64_t>(U32(jhr, at + 64)) > jdt.size()) return msg + ": text runs past the text file";
    if (!(U32(jhr, at + 52) & 0x80000000u)) ++live;
  }
  if (settled ? live != active : live < active)
    return "the base header counts " + std::to_string(active) + " messages, the index holds " + std::to_string(live);
  return "";
}

}  // namespace vex::powercut
