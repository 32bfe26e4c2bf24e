// File names as the system spells them: folders separated by "/".  The
// one place that takes a path apart or puts one together.
#pragma once

#include <string>

namespace vex {

// The folder that holds path: "a/b" gives "a", "/b" gives "/", a bare name
// "b" gives "." (the current folder).  A path ending in "/" names the
// folder itself.
std::string FolderOf(const std::string& path);

// The name within its folder: "a/b" gives "b", "b" gives "b", "a/" gives "".
std::string NameOf(const std::string& path);

// name within folder: ("a", "b") and ("a/", "b") give "a/b"; an empty
// folder or "." gives the name alone.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace vex
