#include "steps/actions/undo_pass.h"

#include <algorithm>
#include <cctype>

#include "core/path_text.h"
#include "core/reparse_points.h"
#include "product/run_context.h"

namespace {

constexpr std::size_t kMaxPath = 259;
constexpr int kFolderAttempts = 4;
constexpr std::uint32_t kFolderPauseMs = 500;

LogTag TagOf(RecordScope scope) {
  switch (scope) {
    case RecordScope::client:
      return LogTag::client;
    case RecordScope::server:
      return LogTag::server;
    default:
      return LogTag::userInterface;
  }
}

}  // namespace

void UndoPass::Log(RecordScope scope, const std::string& line) const {
  WriteLog(run, TagOf(scope), line);
}

bool IsSafePath(const std::string& path) {
  if (path.size() < 4 || path.size() > kMaxPath || std::isalpha(static_cast<unsigned char>(path[0])) == 0 ||
      path[1] != ':' || path[2] != '\\') {
    return false;
  }
  if (path.find_first_of("*?\"<>|/:", 2) != std::string::npos) {
    return false;
  }
  std::string withEnds(1, '\\');
  withEnds.append(path, 3);
  withEnds += '\\';
  return withEnds.find("\\..\\") == std::string::npos && withEnds.find("\\.\\") == std::string::npos &&
         withEnds.find("\\\\") == std::string::npos;
}

bool Reachable(Files& files, const std::string& path) {
  return IsSafePath(path) && !ReparsePointOnPath(files, path);
}

bool RemoveEmptyFolder(RunContext& run, const std::string& path) {
  Files& files = run.machine.files;
  // A folder whose last entry was just removed while another process still held it open (a program that
  // had it as its current folder and is ending) stays behind that entry until the handle goes: a folder
  // that lists empty is tried again a few times.
  for (int attempt = 0;; ++attempt) {
    if (files.RemoveFolder(path)) {
      return true;
    }
    const auto entries = files.ListDirectory(WithTrailingBackslash(path) + "*.*");
    const bool empty = entries && std::all_of(entries->begin(), entries->end(), [](const auto& entry) {
                         return entry.name == "." || entry.name == "..";
                       });
    if (!empty || attempt == kFolderAttempts) {
      return false;
    }
    run.machine.runtime.Pause(kFolderPauseMs);
  }
}
