#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_event_log.h"
#include "run/run_events.h"

namespace {

// The setup program carries the message of every event it writes, as the event source's message file
// names it; each takes the strings the setup inserts.
TEST(Win32EventLog, TheSetupProgramCarriesTheMessageOfEveryEvent) {
  const HMODULE program = LoadLibraryExA(NEMBRIC_SETUP_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr) << GetLastError();
  for (const DWORD id :
       {kEventInstalled, kEventRepaired, kEventRemoved, kEventTakenBack, kEventLeft, kEventRestartNeeded}) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS, program,
        id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    ASSERT_GT(length, 0U) << id;
    const std::wstring message(text, length);
    LocalFree(text);
    EXPECT_NE(message.find(L"%1"), std::wstring::npos) << id;
    EXPECT_NE(message.find(L"The setup's log: %"), std::wstring::npos) << id;
  }
  FreeLibrary(program);
}

// An event is written through a source, and the source handed back.
TEST(Win32EventLog, ReportsAnEventThroughItsSource) {
  Win32EventLog log;
  const EventSourceHandle source = log.Register(kEventSource);
  ASSERT_NE(source, EventSourceHandle::none);
  EXPECT_TRUE(log.Report(source, EventLog::kInformation, kEventInstalled,
                         {u"Nembric Client", u"C:\\Setup\\Halvorn NembricAI  Setup v10.1.3.Log"}));
  EXPECT_TRUE(log.Deregister(source));
}

}  // namespace
