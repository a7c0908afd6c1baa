// A client program of the package set: a small real Windows program that says which build it is.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR commandLine, int /*show*/) {
  // "/version" answers without a window, for tests that run the installed program.
  if (commandLine != nullptr && lstrcmpW(commandLine, L"/version") == 0) {
    return 1010;
  }
  MessageBoxW(nullptr, CLIENT_TITLE L" 10.1", L"Halvorn Nembric", MB_OK | MB_ICONINFORMATION);
  return 0;
}
