#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

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

TEST(Win32Runtime, ConvertsBetweenAnsiAndUtf16) {
  Win32Runtime runtime;
  EXPECT_EQ(runtime.WideToAnsi(u"/modify /type=server"), "/modify /type=server");
  EXPECT_EQ(runtime.WideToAnsi(u""), "");
  EXPECT_EQ(runtime.AnsiToWide("C:\\Program Files\\Halvorn"), u"C:\\Program Files\\Halvorn");
  EXPECT_EQ(runtime.AnsiToWide(""), u"");
  // The manifest asks for UTF-8 as the process's code page: Windows 10 1903 and later (and newer Wine)
  // grant it, and nothing is lost; where it is not granted, a character the code page lacks comes out as
  // its default character.
  if (GetACP() == CP_UTF8) {
    EXPECT_EQ(runtime.WideToAnsi(u"a\x4E2D"), "a\xE4\xB8\xAD");
    EXPECT_EQ(runtime.AnsiToWide("a\xE4\xB8\xAD"), u"a\x4E2D");
  } else {
    EXPECT_EQ(runtime.WideToAnsi(u"a\x4E2D"), "a?");
  }
}

TEST(Win32Runtime, WritesToStandardOutput) {
  Win32Runtime runtime;
  EXPECT_TRUE(runtime.WriteStandardOutput("standard output of the adapter test\n"));
}

TEST(Win32Runtime, RevertsToItsOwnToken) {
  Win32Runtime runtime;
  EXPECT_TRUE(runtime.RevertToSelf());
}

}  // namespace
