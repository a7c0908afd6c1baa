#pragma once

#include <cstdint>
#include <string>

#include "product/setup_state.h"
#include "steps/sql/sql_server_setup.h"
#include "ui/dialog_reporter.h"

// Dialog colours (COLORREF: 0x00BBGGRR) and themes.
inline constexpr std::uint32_t kBlueBackground = 0xFC9614;
inline constexpr std::uint32_t kDarkBackground = 0x000000;
inline constexpr std::uint32_t kWhiteText = 0xFFFFFF;
inline constexpr std::int32_t kBlueTheme = 1;
inline constexpr std::int32_t kDarkTheme = 2;

// What the dialog logic works with: the setup it describes, the showing dialog and its look, and what the
// field checks keep between two fields.
struct DialogContext {
  DialogContext(SetupState& setupState, DialogReporter& showing, SqlServerSetup& sqlServer)
      : setup(setupState), reporter(showing), sql(sqlServer), view(setupState.machine.dialogs) {}

  WindowHandle Window() const { return reporter.dialogWindow; }

  SetupState& setup;
  DialogReporter& reporter;
  SqlServerSetup& sql;
  DialogView& view;

  std::int32_t themeState = kBlueTheme;
  std::uint32_t backgroundColour = kBlueBackground;
  std::uint32_t textColour = kWhiteText;
  // The solid brush of backgroundColour that the dialogs paint with.
  BrushHandle backgroundBrush = BrushHandle::none;

  // The named proxy detected from the system's settings; blanks when none was.
  std::string proxyServer;
  // What label 137 shows of the detected proxy: its name, or where an automatic configuration comes from.
  std::string proxyLabel;
  // The password as the check of its field last took it, for the check of the re-entry.
  std::string sqlPassword;
};
