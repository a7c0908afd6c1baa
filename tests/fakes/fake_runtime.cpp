#include "fake_runtime.h"

#include "core/utf8_text.h"

std::int32_t FakeRuntime::InitializeCom(std::uint32_t flags) {
  ++comCalls;
  comFlags = flags;
  return comResult;
}

std::int32_t FakeRuntime::InitializeSecurity(std::uint32_t authentication, std::uint32_t impersonation) {
  ++securityCalls;
  authenticationLevel = authentication;
  impersonationLevel = impersonation;
  return securityResult;
}

std::optional<std::string> FakeRuntime::WideToUtf8(std::u16string_view text) {
  longestConversion = std::max(longestConversion, text.size());
  return Utf16ToUtf8(text);
}

std::optional<std::u16string> FakeRuntime::Utf8ToWide(std::string_view text) {
  return Utf8ToUtf16(text);
}

std::optional<std::string> FakeRuntime::AnsiToUtf8(std::string_view text) {
  std::u16string wide;
  for (const char byte : text) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(byte));
  }
  return Utf16ToUtf8(wide);
}

namespace {

class FakeBesideJob final : public BesideJob {
 public:
  FakeBesideJob(FakeRuntime& runtime, std::shared_ptr<std::function<void(Machine&)>> work)
      : runtime_(runtime), work_(std::move(work)) {}
  ~FakeBesideJob() override { Wait(); }
  FakeBesideJob(const FakeBesideJob&) = delete;
  FakeBesideJob& operator=(const FakeBesideJob&) = delete;
  void Wait() override {
    if (*work_) {
      runtime_.RunWorkBeside();
    }
  }

 private:
  FakeRuntime& runtime_;
  std::shared_ptr<std::function<void(Machine&)>> work_;
};

}  // namespace

std::unique_ptr<BesideJob> FakeRuntime::RunBeside(std::function<void(Machine&)> work) {
  if (besideRefused) {
    return nullptr;
  }
  ++besideJobs;
  auto waiting = std::make_shared<std::function<void(Machine&)>>(std::move(work));
  besideWaiting.push_back(waiting);
  if (!besideLater) {
    RunWorkBeside();
  }
  return std::make_unique<FakeBesideJob>(*this, std::move(waiting));
}

void FakeRuntime::RunWorkBeside() {
  while (!besideWaiting.empty()) {
    const std::shared_ptr<std::function<void(Machine&)>> work = besideWaiting.front();
    besideWaiting.erase(besideWaiting.begin());
    // Done once: the job's wait then finds nothing left.
    const std::function<void(Machine&)> doing = std::move(*work);
    *work = nullptr;
    doing(*machine);
  }
}
