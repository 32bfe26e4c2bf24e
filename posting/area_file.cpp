#include "posting/area_file.h"

#include "posting/read_file.h"
#include "util/text_file.h"

namespace vex {

bool ForEachAreaLine(Env& env, const std::string& path,
                     const std::function<bool(const std::string&)>& visit) {
  int err = 0;
  std::unique_ptr<File> file = OpenForReading(env, path, &err);
  if (!file) return false;
  LineReader reader(*file, TextEncoding::kUtf8OrCp866);
  std::string line;
  while (reader.Next(line)) {
    if (!visit(line)) break;
  }
  return true;
}

}  // namespace vex
