#include <windows.h>

#include <gtest/gtest.h>

#include "adapter_test_paths.h"
#include "platform/win32/win32_processes.h"

namespace {

// The SQL Server setup stand-in talks for more than a second: its output is read through a pipe in polls
// of 100 milliseconds, at most 255 bytes at a time, while it runs.
TEST(Win32Processes, ReadsAProgramsOutputThroughAPipeWhileItRuns) {
  const std::string standin = TestsDirectory() + "\\e2e\\packages\\bin\\standin_installer.exe";
  const std::string folder = TempPath("Nembric Pipe Test");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string setup = folder + "\\SQLEXPR_x64_ENU.exe";
  ASSERT_TRUE(CopyFileA(standin.c_str(), setup.c_str(), FALSE));

  Win32Processes processes;
  const std::optional<Pipe> pipe = processes.CreateOutputPipe();
  ASSERT_TRUE(pipe.has_value());
  DWORD flags = 0;
  GetHandleInformation(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(pipe->read)), &flags);
  EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0U);  // the read end stays with the setup

  ProcessStart start{setup, "\"" + setup + "\"  /Q /ACTION=Install", folder, true, pipe->write};
  std::uint32_t error = 0;
  const ProcessHandle process = processes.Create(start, error);
  processes.ClosePipeEnd(pipe->write);
  ASSERT_NE(process, ProcessHandle::none) << error;

  std::string output;
  int chunks = 0;
  int polls = 0;
  for (bool ended = false; !ended && polls < 300; ++polls) {
    ended = processes.Wait(process, 100) == Processes::kWaitObject0;
    if (processes.BytesWaiting(pipe->read).value_or(0) > 0) {
      const std::optional<std::string> chunk = processes.ReadPipe(pipe->read, 255);
      ASSERT_TRUE(chunk.has_value());
      EXPECT_LE(chunk->size(), 255U);
      output += *chunk;
      ++chunks;
    }
  }
  processes.Close(process);
  processes.ClosePipeEnd(pipe->read);
  EXPECT_GT(polls, 5);   // it ran for a while
  EXPECT_GT(chunks, 1);  // and was read while it ran
  EXPECT_NE(output.find("step  1 of 12"), std::string::npos) << output;
  DeleteFileA(setup.c_str());
}

// Windows hands a child the caller's inheritable handles (the pipe's write end among them) only when the
// start asks for it; the probe exits with 0 when the handle it is given is valid in its own process.
TEST(Win32Processes, InheritsHandlesOnlyWhenAsked) {
  const std::string standin = TestsDirectory() + "\\e2e\\packages\\bin\\standin_installer.exe";
  const std::string folder = TempPath("Nembric Inherit Test");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string probe = folder + "\\handle_probe.exe";
  ASSERT_TRUE(CopyFileA(standin.c_str(), probe.c_str(), FALSE));
  Win32Processes processes;
  const std::optional<Pipe> pipe = processes.CreateOutputPipe();
  ASSERT_TRUE(pipe.has_value());
  const std::string handle = std::to_string(static_cast<std::uintptr_t>(pipe->write));
  for (const bool inherit : {true, false}) {
    std::uint32_t error = 0;
    const ProcessHandle process =
        processes.Create({probe, "\"" + probe + "\" " + handle, folder, inherit, FileHandle::none}, error);
    ASSERT_NE(process, ProcessHandle::none) << error;
    processes.Wait(process, Processes::kInfinite);
    EXPECT_EQ(processes.ExitCode(process), inherit ? 0U : 1U) << inherit;
    processes.Close(process);
  }
  // A start that names no program is never made (no search for it).
  std::uint32_t error = 0;
  EXPECT_EQ(processes.Create({"", "handle_probe.exe", folder}, error), ProcessHandle::none);
  EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
  processes.ClosePipeEnd(pipe->read);
  processes.ClosePipeEnd(pipe->write);
  DeleteFileA(probe.c_str());
}

// A child that gets the standard handles gets them alone: another inheritable handle of the setup (a
// deployment tool's standard handles, say) stays behind, so no tool waits for the child's end of it.
TEST(Win32Processes, AChildWithStandardHandlesInheritsThemAlone) {
  const std::string standin = TestsDirectory() + "\\e2e\\packages\\bin\\standin_installer.exe";
  const std::string folder = TempPath("Nembric Handle List Test");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string probe = folder + "\\handle_probe.exe";
  ASSERT_TRUE(CopyFileA(standin.c_str(), probe.c_str(), FALSE));
  Win32Processes processes;
  const std::optional<Pipe> output = processes.CreateOutputPipe();
  const std::optional<Pipe> other = processes.CreateOutputPipe();
  ASSERT_TRUE(output && other);
  for (const auto& [handle, inherited] : {std::pair{output->write, true}, std::pair{other->write, false}}) {
    std::uint32_t error = 0;
    const std::string value = std::to_string(static_cast<std::uintptr_t>(handle));
    const ProcessHandle process =
        processes.Create({probe, "\"" + probe + "\" " + value, folder, true, output->write}, error);
    ASSERT_NE(process, ProcessHandle::none) << error;
    processes.Wait(process, Processes::kInfinite);
    EXPECT_EQ(processes.ExitCode(process), inherited ? 0U : 1U) << inherited;
    processes.Close(process);
  }
  for (const Pipe& pipe : {*output, *other}) {
    processes.ClosePipeEnd(pipe.read);
    processes.ClosePipeEnd(pipe.write);
  }
  DeleteFileA(probe.c_str());
}

}  // namespace
