#include "ui/field_checks.h"

#include <gtest/gtest.h>

#include "dialog_test_support.h"
#include "ui/control_groups.h"

namespace {

constexpr char kPortMissing[] =
    "Please select Port 80 for Http, 443 for Https and  1465 for Nembric Information Server or 1064 for "
    "custom";
constexpr char kPortRefused[] =
    "Please select Port 80 for Http, 443 for Https or port No >1000 like  1064 for custom";
constexpr char kTooShort[] = "Password should be at least 6 characters ";
constexpr char kTooPlain[] =
    "Password should consist of atleast 1 upper character, 1 lower character, 1 numeric digit and 1 special "
    "character ";

struct CheckCase {
  int field;
  const char* text;
  int result;
  const char* message;  // nullptr: none
};

TEST(FieldChecks, AcceptOrShowTheirMessage) {
  const CheckCase cases[] = {
      {IDC_PORT, "80", 1, nullptr},
      {IDC_PORT, "443", 1, nullptr},
      {IDC_PORT, "1000", 1, nullptr},
      {IDC_PORT, "1064", 1, nullptr},
      {IDC_PORT, "1465", 1, nullptr},
      {IDC_PORT, "8080", 1, nullptr},
      {IDC_PORT, "80abc", 1, nullptr},
      {IDC_PORT, " 443", 1, nullptr},
      {IDC_PORT, "79", 0, kPortRefused},
      {IDC_PORT, "999", 0, kPortRefused},
      {IDC_PORT, "0", 0, kPortRefused},
      {IDC_PORT, "abc", 0, kPortRefused},
      {IDC_PORT, "-80", 0, kPortRefused},
      {IDC_PORT, "", 0, kPortMissing},
      {IDC_PORT, "   ", 0, kPortMissing},
      {IDC_PASSWORD, "Nemb1c$", 1, nullptr},
      {IDC_PASSWORD, "nemb1c$", 0, kTooPlain},
      {IDC_PASSWORD, "NEMB1C$", 0, kTooPlain},
      {IDC_PASSWORD, "Nembic$", 0, kTooPlain},
      {IDC_PASSWORD, "Nemb1cx", 0, kTooPlain},
      {IDC_PASSWORD, "Nemb1c!", 0, kTooPlain},
      {IDC_PASSWORD, "Ne1*", 0, kTooShort},
      {IDC_PASSWORD, "Ne1*x ", 0, kTooShort},
      {IDC_PASSWORD, "Ne 1*x", 1, nullptr},
      {IDC_PASSWORD, "  Ne1@", 1, nullptr},
      {IDC_PASSWORD, "   ", 0, "Please enter your password for SQL Server"},
      {IDC_SETUP_TYPE, "", 0, "Please select Client or Server Setup or Both"},
      {IDC_CLIENT_DIRECTORY, " ", 0, "Please select directory in which your Client Programs will be setup"},
      {IDC_CLIENT_DIRECTORY, "x:\\anything", 1, nullptr},
      {IDC_SERVER_DIRECTORY, "", 0, "Please select directory in which your Server Programs will be setup"},
      {IDC_INSTALL_SQL, "", 0, "Please select whether you want to install SQL Server"},
      {IDC_INSTALL_SQL, "Maybe", 1, nullptr},
      {IDC_EDITION, "  ", 0, "Please select the Edition you want to setup"},
      {IDC_EDITION, "Gold", 1, nullptr},
      {IDC_HOSTS, "", 1, nullptr},
      {IDC_PROXY_SERVER, "", 1, nullptr},
      {IDC_SEARCH, "", 1, nullptr},
      {IDC_BIT_SIZE, "", 1, nullptr},
  };
  for (const CheckCase& c : cases) {
    DialogFixture d(RunMode::install);
    EXPECT_EQ(ValidateField(d.ui, c.field, c.text), c.result) << c.field << " \"" << c.text << '"';
    if (c.message == nullptr) {
      EXPECT_TRUE(d.Boxes().empty()) << c.field << " \"" << c.text << '"';
    } else {
      ASSERT_EQ(d.Boxes().size(), 1U) << c.field << " \"" << c.text << '"';
      EXPECT_EQ(d.Boxes()[0], c.message);
      EXPECT_EQ(d.fake.dialogs.messageBoxes[0].caption, "Halvorn Nembric Version 10.1 App");
    }
  }
}

TEST(FieldChecks, PasswordsAreKeptWithoutTrailingBlanksAndMustMatch) {
  DialogFixture d(RunMode::install);
  EXPECT_EQ(ValidateField(d.ui, IDC_PASSWORD, " Nemb1c$  "), 1);
  EXPECT_EQ(d.ui.sqlPassword, " Nemb1c$");
  EXPECT_EQ(ValidateField(d.ui, IDC_PASSWORD_AGAIN, " Nemb1c$ "), 1);
  EXPECT_EQ(ValidateField(d.ui, IDC_PASSWORD_AGAIN, "nemb1c$"), 0);
  EXPECT_EQ(ValidateField(d.ui, IDC_PASSWORD_AGAIN, ""), 0);
  EXPECT_EQ(d.Boxes(), (std::vector<std::string>{"Second Password should match First Password",
                                                 "Second Password should match First Password"}));
  EXPECT_EQ(d.Log(), "");  // the password never reaches the log
}

TEST(FieldChecks, APasswordIsBoundedToItsField) {
  DialogFixture d(RunMode::install);
  EXPECT_EQ(ValidateField(d.ui, IDC_PASSWORD, "Nemb1c$" + std::string(100, 'x')), 1);
  EXPECT_EQ(d.ui.sqlPassword.size(), 63U);
}

struct SetupTypeCase {
  const char* text;
  bool sqlServerInstalled;
  bool client;
  bool server;
  bool sql;
  bool detects;
};

TEST(FieldChecks, SetupTypeSwitchesTheGroups) {
  const SetupTypeCase cases[] = {
      {"Client", false, true, false, false, false},  {"Server", false, false, true, true, true},
      {"Both", false, true, true, true, true},       {"Both", true, true, true, false, true},
      {"server", false, false, false, false, false}, {"Other", true, false, false, false, false},
  };
  for (const SetupTypeCase& c : cases) {
    DialogFixture d(RunMode::install);
    if (c.sqlServerInstalled) {
      d.fake.wmi.AddService(15, u"MSSQLSERVER", u"15.0.2000.5");
    }
    EXPECT_EQ(ValidateField(d.ui, IDC_SETUP_TYPE, c.text), 1) << c.text;
    EXPECT_EQ(d.Visible(IDC_BIT_SIZE), c.client) << c.text;
    EXPECT_EQ(d.Visible(IDC_CLIENT_DIRECTORY), c.client) << c.text;
    EXPECT_EQ(d.Visible(IDC_SERVER_DIRECTORY), c.server) << c.text;
    EXPECT_EQ(d.Visible(IDC_PORT), c.server) << c.text;
    EXPECT_EQ(d.Visible(IDC_SEARCH), c.server) << c.text;
    for (const int id : kSqlGroupIds) {
      EXPECT_EQ(d.Visible(id), c.sql) << c.text << " " << id;
    }
    EXPECT_EQ(d.Log().find("User Interface:Checking whether SQL Server installed") != std::string::npos,
              c.detects)
        << c.text;
  }
}

// --- keys in the fields

TEST(FieldKeys, TabInSetupTypeBothChecksAndMovesOn) {
  for (const bool sqlServer : {false, true}) {
    DialogFixture d(RunMode::install);
    if (sqlServer) {
      d.fake.wmi.AddService(16, u"MSSQL$SQLEXPRESS", u"16.0.1000.6");
      d.fake.registry.AddKey("HKLM\\SOFTWARE\\Microsoft\\SQLNCLI11");
    }
    d.fake.dialogs.Type(d.window, IDC_SETUP_TYPE, "Both");
    ASSERT_TRUE(d.fake.dialogs.PressKey(d.window, IDC_SETUP_TYPE, DialogView::kKeyTab));
    EXPECT_TRUE(d.Visible(IDC_CLIENT_DIRECTORY));
    EXPECT_TRUE(d.Visible(IDC_PORT));
    EXPECT_EQ(d.Visible(IDC_PASSWORD), !sqlServer);
    EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_BIT_SIZE);  // the next tab stop
  }
}

TEST(FieldKeys, EnterWithABadPortKeepsTheUserThereWithTheTextSelected) {
  DialogFixture d(RunMode::modify);
  d.fake.dialogs.Type(d.window, IDC_PORT, "79");
  d.fake.dialogs.PressKey(d.window, IDC_PORT, DialogView::kKeyEnter);
  EXPECT_EQ(d.Boxes(), std::vector<std::string>{kPortRefused});
  EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_PORT);
  EXPECT_TRUE(d.Control(IDC_PORT).textSelected);

  d.fake.dialogs.Type(d.window, IDC_PORT, "8080");
  d.fake.dialogs.PressKey(d.window, IDC_PORT, DialogView::kKeyTab);
  EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_HOSTS);
}

TEST(FieldKeys, HostsAndProxyAlwaysMoveOn) {
  DialogFixture d(RunMode::modify);
  d.fake.dialogs.Type(d.window, IDC_HOSTS, "");
  d.fake.dialogs.PressKey(d.window, IDC_HOSTS, DialogView::kKeyTab);
  EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_INSTALL_SQL);
  d.fake.dialogs.Type(d.window, IDC_PROXY_SERVER, "");
  d.fake.dialogs.PressKey(d.window, IDC_PROXY_SERVER, DialogView::kKeyEnter);
  EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_OK);
  EXPECT_TRUE(d.Boxes().empty());
}

TEST(FieldKeys, OtherKeysPassOn) {
  DialogFixture d(RunMode::install);
  const WindowHandle port = d.fake.dialogs.GetControl(d.window, IDC_PORT);
  EXPECT_FALSE(d.dialog.OnFieldKeyUp(port, IDC_PORT, 'A'));
  EXPECT_FALSE(d.dialog.OnFieldKeyDown(port, IDC_PORT, DialogView::kKeyF4, false));  // not a directory field
  EXPECT_TRUE(d.Boxes().empty());
}

TEST(FieldKeys, F4InADirectoryFieldOpensThePickerButAltF4DoesNot) {
  DialogFixture d(RunMode::install);
  d.fake.shell.pick = u"C:\\Nembric Clients";
  const WindowHandle client = d.fake.dialogs.GetControl(d.window, IDC_CLIENT_DIRECTORY);
  EXPECT_FALSE(d.dialog.OnFieldKeyDown(client, IDC_CLIENT_DIRECTORY, DialogView::kKeyF4, true));
  EXPECT_TRUE(d.fake.shell.dialogs.empty());
  EXPECT_TRUE(d.dialog.OnFieldKeyDown(client, IDC_CLIENT_DIRECTORY, DialogView::kKeyF4, false));
  ASSERT_EQ(d.fake.shell.dialogs.size(), 1U);
  EXPECT_EQ(d.Text(IDC_CLIENT_DIRECTORY), "C:\\Nembric Clients");
}

TEST(FieldKeys, TheDropDownButtonOpensThePickerAndTheTextDoesNot) {
  DialogFixture d(RunMode::modify);
  d.fake.shell.pick = u"D:\\Servers\\Nembric";
  EXPECT_FALSE(d.fake.dialogs.ClickDropDown(d.window, IDC_SERVER_DIRECTORY, false));
  EXPECT_TRUE(d.fake.shell.dialogs.empty());
  EXPECT_TRUE(d.fake.dialogs.ClickDropDown(d.window, IDC_SERVER_DIRECTORY, true));
  EXPECT_EQ(d.Text(IDC_SERVER_DIRECTORY), "D:\\Servers\\Nembric");
  EXPECT_FALSE(d.Control(IDC_SERVER_DIRECTORY).dropDownOpen);
  // Other combo boxes keep their list.
  EXPECT_FALSE(
      d.dialog.OnFieldMouseButton(d.fake.dialogs.GetControl(d.window, IDC_EDITION), IDC_EDITION, 70, 8));
}

}  // namespace
