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
  // A character the code page lacks comes out as its default character.
  EXPECT_EQ(runtime.WideToAnsi(u"a\x4E2D"), "a?");
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
