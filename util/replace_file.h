// Files replaced whole.  The new contents go to a temporary file in the
// same folder, created exclusively (a symbolic link at its name is never
// followed, so no one who may write to the folder can make the program
// write elsewhere), written, synced and renamed over the old file; then the
// folder is synced.  A kill or a power cut leaves the old file or the new
// one, each whole; a failure leaves the old one, and no temporary file.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/env.h"

namespace vex {

class FileReplacement {
 public:
  // tempName: the temporary file's name in the folder of path.  Empty gives
  // a hidden name with a random part (".NAME.1a2b3c4d.tmp"), so that no
  // one can foresee it and a program that reads every visible file of the
  // folder never reads it half written; leftovers of earlier runs (such
  // names, and files at ".NAME.tmp" or "vexstat.seq.new", the fixed names
  // of earlier versions) are removed first.  With a fixed name, whatever
  // stands at it is removed first.
  FileReplacement(Env& env, std::string path, std::string tempName = "");
  // A temporary file that was not renamed into place is removed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // Creates the temporary file, with the permission bits of the file it
  // replaces when that is a file.  False with the errno value in *err.
  bool Begin(int* err);
  // The temporary file, after a successful Begin.
  File& file() { return *file_; }
  const std::string& tempPath() const { return temp_; }
  // Syncs the temporary file, renames it over path and syncs the folder.
  // False with the errno value in *err, and the step and the file it failed
  // on in failedStep() and failedPath(); unless the folder sync failed, the
  // temporary file is then gone and path is as it was.
  bool Commit(int* err);
  // Removes the temporary file; path stays as it was.
  bool Cancel(int* err);

  const char* failedStep() const { return failedStep_; }
  const std::string& failedPath() const { return failedPath_; }

 private:
  bool Fail(const char* step, const std::string& path);

  Env& env_;
  std::string path_;
  std::string fixedTemp_;
  std::string temp_;
  std::unique_ptr<File> file_;
  const char* failedStep_ = "";
  std::string failedPath_;
};

// Replaces the file at path with bytes, in one step as above.  False with
// the errno value in *err; the file is then as it was.
bool ReplaceFile(Env& env, const std::string& path, std::string_view bytes,
                 int* err);

// The file that a write to path is to replace when symbolic links are
// followed only if they belong to the user the program runs as or to root:
// path itself when it is no link, else the end of its chain of links.
// False when a link on the way belongs to anyone else (*foreign then names
// it, *err is EPERM) or the chain does not end (ELOOP) or cannot be read.
bool FollowOwnLinks(Env& env, const std::string& path, std::string* target,
                    std::string* foreign, int* err);

}  // namespace vex
