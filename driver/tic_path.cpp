#include "driver/tic_path.h"

#include <cerrno>
#include <memory>

#include "platform/env.h"
#include "util/text.h"

namespace vex {

TicPathFault CheckTicPath(Env& env, const std::string& value, const std::string& mask) {
  const std::string written = "TICPATH " + value;
  // What the sysop meant, when a tab or a comment follows the path.
  std::string meant = value;
  const size_t comment = value.find(';');
  if (comment != std::string::npos && comment > 0 && (value[comment - 1] == ' ' || value[comment - 1] == '\t'))
    meant = value.substr(0, comment);
  meant = std::string(TrimTrailingBlanksAndTabs(meant));
  if (value.find('\\') != std::string::npos && value.find('/') == std::string::npos)
    return {"a Windows path: a Linux path is written with / and the search finds nothing",
            "write the Linux path of the directory, ending with /"};
  if (meant != value) {
    const std::string fixed = meant + (!meant.empty() && meant.back() == '/' ? "" : "/");
    return {comment != std::string::npos && meant.size() <= comment
                ? "the comment after the path is part of the value (a comment is a line of "
                  "its own), so the search finds nothing"
                : "a blank or a tab after the path is part of the value (only blanks separate "
                  "words), so the search finds nothing",
            "write TICPATH " + fixed + (comment != std::string::npos
                                            ? " and put the comment on a line of its own"
                                            : " with nothing after it")};
  }
  const FileInfo info = env.Stat(value);
  if (value.empty() || value.back() != '/') {
    if (info.isDirectory)
      return {"the path lacks its final /, so the search is for " + value + mask +
                  ", which finds nothing (" + std::to_string(env.Search(value + "/" + mask).size()) +
                  " TIC files in " + value + "/)",
              "write " + written + "/"};
    if (info.exists)
      return {"the path lacks its final / and " + value + " is not a directory",
              "name the directory that holds the TIC files, ending with /"};
    return {"the path lacks its final / and directory " + value + " does not exist",
            "create the directory or correct the path, and end it with /"};
  }
  const std::string dir = value.size() > 1 ? value.substr(0, value.size() - 1) : value;
  if (!info.exists)
    return {"directory " + value + " does not exist", "create it or correct the path"};
  if (!info.isDirectory)
    return {value + " is not a directory", "name the directory that holds the TIC files"};
  int err = 0;
  std::unique_ptr<File> probe = env.Open(value, OpenMode::kRead, &err);
  if (!probe && (err == EACCES || err == EPERM))
    return {"directory " + value + " cannot be read: " + SystemErrorText(err),
            "give the user that runs vexstat read access to " + dir};
  return {};
}

}  // namespace vex
