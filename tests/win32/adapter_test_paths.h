#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

// Paths the adapter tests share: where the test program and the build's other programs are, temporary
// folders, and whole files read back.

inline std::string Directory(const std::string& path) {
  return path.substr(0, path.find_last_of('\\'));
}

// The folder of the running test program.
inline std::string OwnDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return Directory(path);
}

// The tests folder of the Windows build: the e2e programs and the package set's stand-ins are below it.
inline std::string TestsDirectory() {
  return Directory(OwnDirectory());
}

// The Windows build folder: the package set is below it.
inline std::string BuildDirectory() {
  return Directory(TestsDirectory());
}

// A path in the temporary folder.
inline std::string TempPath(const std::string& name) {
  char directory[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, directory);
  return std::string(directory) + name;
}

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
