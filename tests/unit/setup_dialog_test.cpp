#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "ui/control_groups.h"

namespace {

TEST(SetupDialogOpening, InstallModeShowsTheClientGroupWithTheDefaults) {
  DialogFixture d(RunMode::install);
  EXPECT_EQ(d.program.reporter.dialogWindow, d.window);
  for (const int id : kClientGroupIds) {
    EXPECT_TRUE(d.Visible(id)) << id;
  }
  for (const int id : kServerGroupIds) {
    EXPECT_FALSE(d.Control(id).visible) << id;
    EXPECT_FALSE(d.Control(id).enabled) << id;
  }
  EXPECT_FALSE(d.Control(IDC_PROXY_LABEL).visible);  // no proxy configured
  EXPECT_FALSE(d.Control(IDC_PROXY_SERVER).visible);
  EXPECT_TRUE(d.Visible(IDC_SETUP_TYPE));
  EXPECT_EQ(d.Text(IDC_SETUP_TYPE), "Client");
  EXPECT_EQ(d.Text(IDC_BIT_SIZE), "64 Bit");
  EXPECT_EQ(d.Text(IDC_EDITION), "Enterprise");
  EXPECT_EQ(d.Text(IDC_INSTALL_SQL), "Yes");
  EXPECT_EQ(d.Text(IDC_SERVER_DIRECTORY), "c:\\HNembricAI");
  EXPECT_EQ(d.Text(IDC_CLIENT_DIRECTORY), "");
  EXPECT_EQ(d.Control(IDC_SETUP_TYPE).items, (std::vector<std::string>{"Client", "Server", "Both"}));
  EXPECT_EQ(d.Control(IDC_EDITION).items,
            (std::vector<std::string>{"Enterprise", "Team", "Essential", "Express"}));
  EXPECT_EQ(d.Control(IDC_BIT_SIZE).items, (std::vector<std::string>{"64 Bit", "AI Client", "32 Bit"}));
  EXPECT_EQ(d.Control(IDC_INSTALL_SQL).items, (std::vector<std::string>{"Yes", "No"}));
  EXPECT_EQ(d.Control(IDC_SERVER_DIRECTORY).items,
            (std::vector<std::string>{"c:\\HNembricAI", "c:\\Program Files\\Halvorn\\NembricAI\\",
                                      "d:\\HNembricAI"}));
  EXPECT_EQ(d.ui.proxyServer, "          ");
}

TEST(SetupDialogOpening, StatusLineAndProgressBarArePlacedFromTheClientArea) {
  // At 100 % scaling the places are the design's; at 150 % (144 dots per inch) every figure grows by half,
  // so the dialog's font (which grows too) is not clipped.
  for (const int dpi : {144, 96}) {
    FakeMachine machine;
    machine.dialogs.dpi = dpi;
    Program program{machine.machine};
    const WindowHandle window = machine.dialogs.CreateDialogWindow(IDD_SETUP, program.dialog);
    const FakeDialogView::Window& status = machine.dialogs.ControlOf(window, IDC_STATUS_LINE);
    const FakeDialogView::Window& scaledBar = machine.dialogs.ControlOf(window, IDC_PROGRESS_BAR);
    const Rect client = machine.dialogs.ClientRect(window);
    const auto at = [dpi](int pixels) { return pixels * dpi / 96; };
    EXPECT_EQ(status.place.left, at(16)) << dpi;
    EXPECT_EQ(status.place.top, client.bottom - at(38)) << dpi;
    EXPECT_EQ(status.place.right - status.place.left, client.right - 2 * at(16)) << dpi;
    EXPECT_EQ(status.place.bottom - status.place.top, at(22)) << dpi;
    EXPECT_EQ(scaledBar.place.top, client.bottom - at(62)) << dpi;
    EXPECT_EQ(scaledBar.place.bottom - scaledBar.place.top, at(18)) << dpi;
    EXPECT_TRUE(status.dialogFont && scaledBar.dialogFont) << dpi;
  }
  DialogFixture d(RunMode::install);
  const FakeDialogView::Window& status = d.Control(IDC_STATUS_LINE);
  const FakeDialogView::Window& bar = d.Control(IDC_PROGRESS_BAR);
  EXPECT_EQ(status.className, "STATIC");
  EXPECT_EQ(status.style, DialogView::kStyleChild | DialogView::kStyleVisible | DialogView::kStaticNoPrefix);
  EXPECT_EQ(status.text, "Please use Tab/Enter to go to next field.");
  EXPECT_EQ(bar.className, "msctls_progress32");
  EXPECT_EQ(bar.progressLow, 0);
  EXPECT_EQ(bar.progressHigh, 100);
  EXPECT_EQ(bar.position, 0);
  EXPECT_NE(d.fake.dialogs.commonControls & DialogView::kProgressClass, 0U);
}

// Moved to a monitor of another scaling, the dialog is scaled by the dialog manager; the status line and the
// progress bar, which the setup placed itself, are placed again for the new scaling, in the font it gives.
TEST(SetupDialogOpening, OnAMonitorOfAnotherScalingTheStatusLineAndBarArePlacedAgain) {
  FakeMachine machine;
  Program program{machine.machine};
  const WindowHandle window = machine.dialogs.CreateDialogWindow(IDD_SETUP, program.dialog);
  Rect& client = machine.dialogs.WindowOf(window).place;
  client.right *= 2;
  client.bottom *= 2;
  machine.dialogs.dpi = 192;
  program.dialog.OnDpiChanged(window);
  const FakeDialogView::Window& status = machine.dialogs.ControlOf(window, IDC_STATUS_LINE);
  const FakeDialogView::Window& bar = machine.dialogs.ControlOf(window, IDC_PROGRESS_BAR);
  EXPECT_EQ(status.place.left, 32);
  EXPECT_EQ(status.place.top, client.bottom - 76);
  EXPECT_EQ(status.place.right, client.right - 32);
  EXPECT_EQ(status.place.bottom - status.place.top, 44);
  EXPECT_EQ(bar.place.top, client.bottom - 124);
  EXPECT_EQ(bar.place.bottom - bar.place.top, 36);
}

TEST(SetupDialogOpening, FieldsAndTheirComboPartsGetTheKeyboardProcedure) {
  DialogFixture d(RunMode::install);
  for (const int id : {119, 125, 120, 115, 114, 116, 117, 118, 124, 122, 123, 138}) {
    EXPECT_EQ(d.Control(id).subclassIds, std::set<int>{id}) << id;
    if (const auto parts = d.fake.dialogs.ComboBoxParts(d.fake.dialogs.GetControl(d.window, id))) {
      EXPECT_EQ(d.fake.dialogs.WindowOf(parts->edit).subclassIds, std::set<int>{id}) << id;
      EXPECT_EQ(d.fake.dialogs.WindowOf(parts->list).subclassIds, std::set<int>{id}) << id;
    }
  }
  EXPECT_TRUE(d.Control(IDC_DARK_MODE).subclassIds.empty());
}

TEST(SetupDialogOpening, ModifyKeepsEveryControlOfTheResourceVisible) {
  DialogFixture d(RunMode::modify | RunMode::modifyServer);
  for (const int id : {119, 116, 120, 114, 115, 125, 117, 118, 124, 122, 123, 137, 138, 1, 2, 136, 139}) {
    EXPECT_TRUE(d.Visible(id)) << id;
  }
}

TEST(SetupDialogOpening, ASlashInstallWithCapitalIKeepsTheResourceVisibility) {
  DialogFixture d(RunMode::none);
  EXPECT_TRUE(d.Visible(IDC_PORT));
  EXPECT_EQ(d.Text(IDC_SETUP_TYPE), "Client");
}

TEST(SetupDialogOpening, MaintenanceDialogPresetsTheAction) {
  const std::pair<RunMode, int> cases[] = {{RunMode::repair, IDC_REPAIR},
                                           {RunMode::uninstall, IDC_UNINSTALL}};
  for (const auto& [mode, checked] : cases) {
    DialogFixture d(mode, IDD_MAINTENANCE);
    EXPECT_EQ(d.Control(IDC_UNINSTALL).checked, checked == IDC_UNINSTALL);
    EXPECT_EQ(d.Control(IDC_REPAIR).checked, checked == IDC_REPAIR);
    EXPECT_FALSE(d.Control(IDC_APPLY_SERVER).checked);
    EXPECT_FALSE(d.Control(IDC_APPLY_CLIENT).checked);
    for (const int id : {2003, 2004, 2001, 2002, 2005, 2006}) {
      EXPECT_TRUE(d.Control(id).themeRemoved) << id;
    }
    EXPECT_FALSE(d.Control(IDC_DARK_MODE).themeRemoved);
    EXPECT_EQ(d.Control(IDC_STATUS_LINE).text, "Please use Tab/Enter to go to next field.");
  }
}

TEST(SetupDialogProxy, AConfiguredProxyShowsItsNameAndTheField) {
  DialogFixture d(RunMode::none);
  d.fake.http.defaultProxy.proxy = u"proxy.halvorn.example:3128";
  ShowComponentControls(d.ui, ControlGroup::client, true);
  EXPECT_EQ(d.ui.proxyServer, "proxy.halvorn.example:3128");
  EXPECT_EQ(d.Text(IDC_PROXY_LABEL), "proxy.halvorn.example:3128");
  EXPECT_TRUE(d.Visible(IDC_PROXY_LABEL));
  EXPECT_TRUE(d.Visible(IDC_PROXY_SERVER));
  EXPECT_EQ(d.Text(IDC_PROXY_SERVER), "");
  EXPECT_EQ(d.fake.http.userCalls, 0);  // the user's settings only when the default ones fail
}

// Windows answers the machine's WinHTTP settings with "no proxy" unless `netsh winhttp` set one: then the
// proxy an administrator configured for users counts, named (with its bypass list) or automatic.
TEST(SetupDialogProxy, WithoutAMachineProxyTheUsersSettingsCount) {
  struct Case {
    bool defaultWorks;
    ProxySettings user;
    bool userWorks;
    const char* label;  // nullptr: the pair stays hidden
    const char* proxyServer;
    bool automatic;  // the requests ask the configuration
  };
  const std::string blanks(10, ' ');
  const std::vector<Case> cases = {
      {true, {u"user-proxy:8080", u"<local>", false, {}}, true, "user-proxy:8080", "user-proxy:8080", false},
      {false, {u"user-proxy:8080", {}, false, {}}, true, "user-proxy:8080", "user-proxy:8080", false},
      {true,
       {{}, {}, false, u"http://wpad.corp/proxy.pac"},
       true,
       "http://wpad.corp/proxy.pac",
       blanks.c_str(),
       true},
      // Detection alone (Windows' default) has found nothing to show yet.
      {true, {{}, {}, true, {}}, true, nullptr, blanks.c_str(), true},
      // Automatic settings come before a named proxy beside them, as in Windows: the session has none.
      {true, {u"user-proxy:8080", {}, true, {}}, true, "user-proxy:8080", blanks.c_str(), true},
      {true,
       {u"user-proxy:8080", {}, false, u"http://wpad.corp/proxy.pac"},
       true,
       "http://wpad.corp/proxy.pac",
       blanks.c_str(),
       true},
      {true, {}, true, nullptr, blanks.c_str(), false},
      {false, {u"user-proxy:8080", {}, false, {}}, false, nullptr, blanks.c_str(), false},
  };
  for (const Case& c : cases) {
    DialogFixture d(RunMode::none);
    d.fake.http.defaultWorks = c.defaultWorks;
    d.fake.http.userProxy = c.user;
    d.fake.http.userWorks = c.userWorks;
    ShowComponentControls(d.ui, ControlGroup::server, true);
    EXPECT_EQ(d.Visible(IDC_PROXY_LABEL), c.label != nullptr) << c.proxyServer;
    EXPECT_EQ(d.Visible(IDC_PROXY_SERVER), c.label != nullptr);
    if (c.label != nullptr) {
      EXPECT_EQ(d.Text(IDC_PROXY_LABEL), c.label);
      EXPECT_EQ(d.state.systemProxy.bypass, c.user.bypass);
    }
    EXPECT_EQ(d.state.systemProxy.Automatic(), c.automatic);
    EXPECT_EQ(d.ui.proxyServer, c.proxyServer);
  }
}

TEST(SetupDialogProxy, AnOverlongProxyNameIsBoundedToItsField) {
  DialogFixture d(RunMode::none);
  d.fake.http.defaultProxy.proxy = std::u16string(2100, u'p');
  ShowComponentControls(d.ui, ControlGroup::client, true);
  EXPECT_EQ(d.ui.proxyServer, std::string(255, 'p'));
}

TEST(SetupDialogButtons, ProxyShowsThePairUntilTheNextGroupSwitch) {
  DialogFixture d(RunMode::install);
  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_PROXY, 0));
  EXPECT_TRUE(d.Visible(IDC_PROXY_LABEL));
  EXPECT_TRUE(d.Visible(IDC_PROXY_SERVER));
  EXPECT_EQ(d.fake.dialogs.WindowOf(d.window).redraws, 1);
  ShowComponentControls(d.ui, ControlGroup::client, true);
  EXPECT_FALSE(d.Visible(IDC_PROXY_SERVER));
}

TEST(SetupDialogButtons, DarkModeTogglesTheThemeAndItsBrush) {
  DialogFixture d(RunMode::install);
  const BrushHandle blue = d.ui.backgroundBrush;
  EXPECT_EQ(d.fake.dialogs.liveBrushes.at(blue), 0xFC9614U);

  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_DARK_MODE, 0));
  EXPECT_EQ(d.ui.themeState, 2);
  EXPECT_EQ(d.ui.backgroundColour, 0U);
  EXPECT_EQ(d.fake.dialogs.liveBrushes.count(blue), 0U);  // the old brush is deleted
  EXPECT_EQ(d.fake.dialogs.liveBrushes.at(d.ui.backgroundBrush), 0U);

  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_DARK_MODE, 0));
  EXPECT_EQ(d.ui.themeState, 1);
  EXPECT_EQ(d.ui.backgroundColour, 0xFC9614U);
  EXPECT_EQ(d.ui.textColour, 0xFFFFFFU);
  EXPECT_EQ(d.fake.dialogs.liveBrushes.size(), 1U);
  EXPECT_EQ(d.fake.dialogs.WindowOf(d.window).redraws, 2);
}

TEST(SetupDialogButtons, ColourMessagesPaintWithTheThemeBrush) {
  DialogFixture d(RunMode::install);
  EXPECT_EQ(d.dialog.OnControlColour(ColourMessage::dialog, DeviceContext{7}), d.ui.backgroundBrush);
  EXPECT_FALSE(d.fake.dialogs.transparentBackground);
  EXPECT_EQ(d.dialog.OnControlColour(ColourMessage::staticControl, DeviceContext{7}), d.ui.backgroundBrush);
  EXPECT_TRUE(d.fake.dialogs.transparentBackground);
  EXPECT_EQ(d.fake.dialogs.textColour, 0xFFFFFFU);
}

TEST(SetupDialogButtons, OkRunsTheSetupAndUnknownCommandsAreLeftToWindows) {
  DialogFixture d(RunMode::install);
  // Right after the start the client directory is still empty: the run stops at its check.
  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_OK, 0));
  ASSERT_EQ(d.fake.dialogs.messageBoxes.size(), 1U);
  EXPECT_EQ(d.fake.dialogs.messageBoxes[0].text, "Please enter Client Directory");
  EXPECT_FALSE(d.dialog.OnCommand(d.window, IDM_ABOUT, 0));
}

TEST(SetupDialogButtons, CancelAsksAndYesOrNoEndTheProgram) {
  for (const int answer : {DialogView::kAnswerYes, DialogView::kAnswerNo}) {
    DialogFixture d(RunMode::install);
    d.fake.dialogs.messageBoxAnswers = {answer};
    try {
      d.dialog.OnCommand(d.window, IDC_CANCEL, 0);
      FAIL() << "answer " << answer << " should end the program";
    } catch (const ProcessExit& exit) {
      EXPECT_EQ(exit.exitCode, 1602U);  // cancelled by the person
    }
    ASSERT_EQ(d.fake.dialogs.messageBoxes.size(), 1U);
    const auto& box = d.fake.dialogs.messageBoxes[0];
    EXPECT_EQ(box.owner, d.window);
    EXPECT_EQ(box.text, "Do you want to Cancel");
    EXPECT_EQ(box.caption, "Halvorn Nembric v 10.1");
    EXPECT_EQ(box.flags, 0x3U | 0x40U | 0x100U);  // Yes/No/Cancel, information, No as default
    EXPECT_EQ(d.Log(), "");                       // nothing logged
  }
}

TEST(SetupDialogButtons, CancellingTheCancelReturnsToTheDialog) {
  DialogFixture d(RunMode::install);
  d.fake.dialogs.messageBoxAnswers = {DialogView::kAnswerCancel, 0};
  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_CANCEL, 0));
  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_CANCEL, 0));  // a box that could not show ends nothing either
}

TEST(SetupDialogBitSize, KnownSizesFillTheClientDirectories) {
  DialogFixture d(RunMode::install);
  ApplyBitSize(d.ui, "AI Client");
  EXPECT_EQ(d.Control(IDC_CLIENT_DIRECTORY).items,
            (std::vector<std::string>{"c:\\NembricAIApp", "c:\\Program Files\\Halvorn\\NembricAIApp\\",
                                      "d:\\NembricAIApp"}));
  EXPECT_EQ(d.Text(IDC_CLIENT_DIRECTORY), "c:\\NembricAIApp");
  ApplyBitSize(d.ui, "32 Bit");
  EXPECT_EQ(d.Text(IDC_CLIENT_DIRECTORY), "c:\\Nembric10App32");
  ApplyBitSize(d.ui, "64 bit");  // the comparison is exact
  EXPECT_EQ(d.Text(IDC_CLIENT_DIRECTORY), "c:\\Nembric10App32");
}

}  // namespace
