#pragma once

#include <cstdint>
#include <string>

// Where a run shows what it does besides its log: the status line and the progress bar of the showing
// dialog, and the message boxes of the program. The dialogs implement it; a run without a window can
// implement it otherwise.
class Reporter {
 public:
  Reporter() = default;
  Reporter(const Reporter&) = delete;
  Reporter& operator=(const Reporter&) = delete;
  virtual ~Reporter() = default;

  // The text of the status line (control 40001), as it is given.
  virtual void ShowStatus(const std::string& text) = 0;
  // The position of the progress bar (control 40002), 0 to 100.
  virtual void ShowProgress(int percent) = 0;
  // Invalidates the whole dialog, erasing its background; with `now`, also paints it at once, so that the
  // display follows while a long step blocks the message loop.
  virtual void Repaint(bool now) = 0;
  // A message box without owner (MessageBox flags as Windows numbers them); returns the answer.
  virtual int ShowMessage(const std::string& text, const std::string& caption, std::uint32_t flags) = 0;
};
