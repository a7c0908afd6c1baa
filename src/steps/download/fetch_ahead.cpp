#include "steps/download/fetch_ahead.h"

#include "core/path_text.h"
#include "core/utf8_text.h"
#include "product/download_context.h"

namespace {

// How often the run looks whether the package whose turn has come is in (the wait answers the windows).
constexpr std::uint32_t kLookEveryMs = 10;

// What the work beside the run shows: nothing; its lines are held for their turns.
class NoDisplay final : public Reporter {
 public:
  void ShowStatus(const std::string& /*text*/) override {}
  void ShowProgress(int /*percent*/) override {}
  void Repaint(bool /*now*/) override {}
  int ShowMessage(const std::string& /*text*/, const std::string& /*caption*/,
                  std::uint32_t /*flags*/) override {
    return 0;
  }
};

// What a fetch needs of the run's download settings, copied for the work beside the run, which never
// reads the run's own fields.
struct FetchSettings {
  ProxySettings systemProxy;
  InternetHandle httpSession = InternetHandle::none;
  bool proxyPerRequest = false;
  std::string downloadHost;
  std::vector<std::string> secrets;
};

// The packages' first transfers, in order, on the machine given, with a context of their own; each entry
// is marked done once its result is complete. Once `stop` is set, those still to come are left alone.
template <typename Entry>
void FetchEntries(Machine& machine, const FetchSettings& settings, const std::vector<Entry*>& entries,
                  const std::atomic<bool>& stop) {
  NoDisplay display;
  DownloadContext ahead(machine, display);
  ahead.systemProxy = settings.systemProxy;
  ahead.httpSession = settings.httpSession;
  ahead.proxyPerRequest = settings.proxyPerRequest;
  ahead.downloadHost = settings.downloadHost;
  ahead.downloadServerName = CutUtf8(settings.downloadHost, kDownloadServerNameWidth - 1);
  ahead.secrets = settings.secrets;
  for (Entry* entry : entries) {
    if (!stop.load()) {
      FetchFirstAttempt(ahead, entry->download, stop, entry->result);
    }
    entry->done.store(true);
  }
}

FetchSettings SettingsOf(const DownloadContext& run) {
  return {run.systemProxy, run.httpSession, run.proxyPerRequest, run.downloadHost, run.secrets};
}

}  // namespace

FetchAhead::FetchAhead(DownloadContext& run, std::vector<PackageDownload> packages) : run_(run) {
  for (PackageDownload& download : packages) {
    auto entry = std::make_unique<Entry>();
    entry->download = std::move(download);
    entries_.push_back(std::move(entry));
  }
}

FetchAhead::~FetchAhead() {
  StopAndWait();
}

void FetchAhead::StopAndWait() {
  stop_.store(true);
  if (job_) {
    job_->Wait();
    job_.reset();
  }
}

bool FetchAhead::PrepareAhead(Entry& entry) {
  Files& files = run_.machine.files;
  const std::string localPath = JoinPath(entry.download.localDirectory, entry.download.fileName);
  // A package another process holds is waited for at its turn, with its line.
  if (PackageHeldByAnother(files, localPath)) {
    return false;
  }
  if (!RecordPackageAhead(run_.record, entry.download)) {
    return false;
  }
  // A part left by an earlier run may belong to another version of the package.
  files.Remove(PackagePartPath(entry.download));
  return true;
}

void FetchAhead::Start() {
  if (started_) {
    return;
  }
  started_ = true;
  // A layout's packages are on hand.
  if (!run_.packageSource.empty()) {
    return;
  }
  std::vector<Entry*> ahead;
  for (const std::unique_ptr<Entry>& entry : entries_) {
    if (entry->taken) {
      continue;
    }
    // The packages go ahead in their order: one that cannot leaves itself and those after it to their turns.
    if (!PrepareAhead(*entry)) {
      break;
    }
    entry->ahead = true;
    ahead.push_back(entry.get());
  }
  // A run that only plans records them as the run would, and fetches at their turns what it fetches.
  if (!ahead.empty() && !run_.planOnly) {
    job_ = run_.machine.runtime.RunBeside([this, ahead, settings = SettingsOf(run_)](Machine& machine) {
      FetchEntries(machine, settings, ahead, stop_);
    });
  }
  // Without a thread each transfer is made at its package's turn.
  if (!job_) {
    for (Entry* entry : ahead) {
      entry->done.store(true);
    }
  }
}

const FetchedAhead* FetchAhead::Take(const std::string& fileName) {
  for (const std::unique_ptr<Entry>& entry : entries_) {
    if (entry->taken || !SameName(entry->download.fileName, fileName)) {
      continue;
    }
    entry->taken = true;
    if (!entry->ahead) {
      return nullptr;
    }
    while (!entry->done.load()) {
      run_.machine.runtime.Pause(kLookEveryMs);
    }
    return &entry->result;
  }
  return nullptr;
}

FetchAheadLent::FetchAheadLent(DownloadContext& run, FetchAhead& fetchAhead) : run_(run) {
  run_.fetchAhead = &fetchAhead;
}

FetchAheadLent::~FetchAheadLent() {
  run_.fetchAhead = nullptr;
}
