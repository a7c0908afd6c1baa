#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>

#include "platform/machine.h"
#include "platform/win32/win32_runtime.h"

namespace {

TEST(Win32Runtime, StartsComInTheMultithreadedApartmentWithProcessSecurity) {
  Win32Runtime runtime;
  const std::int32_t com = runtime.InitializeCom(Runtime::kCoinitMultithreaded);
  EXPECT_FALSE(ComFailed(com)) << std::hex << com;
  const std::int32_t security =
      runtime.InitializeSecurity(Runtime::kAuthnLevelConnect, Runtime::kImpLevelImpersonate);
  EXPECT_FALSE(ComFailed(security)) << std::hex << security;
  runtime.UninitializeCom();
}

TEST(Win32Runtime, ApartmentOfAnotherKindIsAFailure) {
  Win32Runtime runtime;
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
  EXPECT_EQ(runtime.InitializeCom(Runtime::kCoinitMultithreaded),
            static_cast<std::int32_t>(RPC_E_CHANGED_MODE));
  CoUninitialize();
}

// UTF-8 both ways whatever the process's code page (the manifest asks for UTF-8, which Windows before
// 10 1903 does not grant); a text that is not valid is refused, never turned into '?'.
TEST(Win32Runtime, ConvertsBetweenUtf8AndUtf16WhateverTheCodePage) {
  Win32Runtime runtime;
  EXPECT_EQ(runtime.WideToUtf8(u"/modify /type=server"), "/modify /type=server");
  EXPECT_EQ(runtime.WideToUtf8(u""), "");
  EXPECT_EQ(runtime.Utf8ToWide("C:\\Program Files\\Halvorn"), u"C:\\Program Files\\Halvorn");
  EXPECT_EQ(runtime.WideToUtf8(u"a\x4E2D\xD83D\xDE00"), "a\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(runtime.Utf8ToWide("a\xE4\xB8\xAD\xF0\x9F\x98\x80"), u"a\x4E2D\xD83D\xDE00");
  EXPECT_FALSE(runtime.WideToUtf8(u"a\xD83D"));
  EXPECT_FALSE(runtime.Utf8ToWide("a\xE9"));
  // An answer file saved in the system's code page (1252 in the tests' prefix), whatever the process's.
  DWORD system = 0;
  GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                  reinterpret_cast<LPWSTR>(&system), sizeof(system) / sizeof(wchar_t));
  if (system == 1252) {
    EXPECT_EQ(runtime.AnsiToUtf8("Caf\xE9"), "Caf\xC3\xA9");
  }
}

TEST(Win32Runtime, WritesToStandardOutput) {
  Win32Runtime runtime;
  EXPECT_TRUE(runtime.WriteStandardOutput("standard output of the adapter test\n"));
}

// Work beside the run goes on a thread of its own, with a machine that is not the caller's, while the caller
// goes on; its wait returns once the work has ended, and so does the job's end.
TEST(Win32Runtime, RunsWorkBesideOnAThreadOfItsOwnAndWaitsForIt) {
  Win32Runtime runtime;
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(release, nullptr);
  std::atomic<DWORD> workThread = 0;
  std::atomic<bool> ended = false;
  std::atomic<bool> ownMachine = false;
  std::unique_ptr<BesideJob> job = runtime.RunBeside([&](Machine& machine) {
    workThread = GetCurrentThreadId();
    ownMachine = &machine.runtime != &runtime;
    // The work reaches the machine it was given: a conversion on its own runtime.
    EXPECT_EQ(machine.runtime.Utf8ToWide("beside"), u"beside");
    WaitForSingleObject(release, INFINITE);
    ended = true;
  });
  ASSERT_NE(job, nullptr);
  // The caller goes on while the work waits for it.
  Sleep(50);
  EXPECT_FALSE(ended.load());
  SetEvent(release);
  job->Wait();
  EXPECT_TRUE(ended.load());
  EXPECT_TRUE(ownMachine.load());
  EXPECT_NE(workThread.load(), GetCurrentThreadId());
  job.reset();
  CloseHandle(release);
}

TEST(Win32Runtime, RevertsToItsOwnToken) {
  Win32Runtime runtime;
  EXPECT_TRUE(runtime.RevertToSelf());
}

}  // namespace
