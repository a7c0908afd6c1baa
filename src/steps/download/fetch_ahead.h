#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime.h"
#include "steps/download/package_download.h"

struct DownloadContext;

// The packages of a component's update that come in beside the run while the packages before them are
// installed or extracted: one at a time, in the order their turns come, each the first transfer its
// download would make (`FetchFirstAttempt`), its lines held for its turn. Made by the component's update
// for its packages and handed to the downloads through the run (`DownloadContext::fetchAhead`) while it
// lives.
//
// The package and its part are in the record before the work beside the run starts, written by the run's
// own thread, as a download writes them: a run cut off, or a component that fails, takes them back like
// any other file of the run. Going, the fetch in flight is stopped at its next piece and waited for, so
// nothing is written beside the run after the component's update has ended.
class FetchAhead {
 public:
  FetchAhead(DownloadContext& run, std::vector<PackageDownload> packages);
  ~FetchAhead();
  FetchAhead(const FetchAhead&) = delete;
  FetchAhead& operator=(const FetchAhead&) = delete;

  // Starts fetching, beside the run, the packages whose turns have not come (once; later calls do
  // nothing). A run that only plans records them as the run would and fetches nothing ahead; a layout's
  // packages are on hand.
  void Start();
  // The package's turn has come: what its first transfer made ahead, once that has ended; nullptr when it
  // was not fetched ahead (its download then makes the transfer itself).
  const FetchedAhead* Take(const std::string& fileName);

 private:
  struct Entry {
    PackageDownload download;
    // In the record and left to the work beside the run (the run's thread alone reads and writes these two).
    bool ahead = false;
    bool taken = false;
    // Set by the work beside the run once `result` is complete.
    std::atomic<bool> done = false;
    FetchedAhead result;
  };
  // The entry's package and part are put in the record, an earlier run's part removed; false when the
  // package cannot go ahead (held by another process, or a line the record could not take).
  bool PrepareAhead(Entry& entry);
  void StopAndWait();

  DownloadContext& run_;
  std::vector<std::unique_ptr<Entry>> entries_;
  std::atomic<bool> stop_ = false;
  bool started_ = false;
  std::unique_ptr<BesideJob> job_;
};

// Lends the downloads of a component's update its fetch ahead while it lives.
class FetchAheadLent {
 public:
  FetchAheadLent(DownloadContext& run, FetchAhead& fetchAhead);
  ~FetchAheadLent();
  FetchAheadLent(const FetchAheadLent&) = delete;
  FetchAheadLent& operator=(const FetchAheadLent&) = delete;

 private:
  DownloadContext& run_;
};
