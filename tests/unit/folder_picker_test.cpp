#include "ui/folder_picker.h"

#include <gtest/gtest.h>

#include "dialog_test_support.h"

namespace {

constexpr std::uint32_t kRemovable = 2;
constexpr std::uint32_t kNetwork = 4;

TEST(FindInstalledFolder, SearchPathComesFirst) {
  FakeFiles files;
  files.searchPath = {"C:\\Windows\\System32", "E:\\Tools\\Nembric"};
  files.SetContent("E:\\Tools\\Nembric\\HNembricAI.dll", "MZ");
  files.SetContent("C:\\Nembric10\\HNembricAI.dll", "MZ");
  EXPECT_EQ(FindInstalledFolder(files), "E:\\Tools\\Nembric");
  EXPECT_TRUE(files.attributeQueries.empty());
}

TEST(FindInstalledFolder, FixedCandidatesInTheirOrder) {
  FakeFiles files;
  EXPECT_EQ(FindInstalledFolder(files), std::nullopt);
  EXPECT_EQ(std::vector<std::string>(files.attributeQueries.begin(), files.attributeQueries.begin() + 6),
            (std::vector<std::string>{"C:\\Program Files\\HNembricAI.dll",
                                      "C:\\Program Files (x86)\\HNembricAI.dll",
                                      "C:\\Program Files\\Halvorn\\Nembric10\\HNembricAI.dll",
                                      "C:\\Program Files (x86)\\Halvorn\\Nembric10\\HNembricAI.dll",
                                      "C:\\Nembric10\\HNembricAI.dll", "D:\\Nembric10\\HNembricAI.dll"}));
  // Then the four folders below each fixed drive's root (only C: here).
  EXPECT_EQ(std::vector<std::string>(files.attributeQueries.begin() + 6, files.attributeQueries.end()),
            (std::vector<std::string>{"C:\\HNembricAI.dll", "C:\\Halvorn\\Nembric10\\HNembricAI.dll",
                                      "C:\\Program Files\\Halvorn\\Nembric10\\HNembricAI.dll",
                                      "C:\\Program Files (x86)\\Halvorn\\Nembric10\\HNembricAI.dll"}));

  files.SetContent("c:\\nembric10\\hnembricai.dll", "MZ");
  EXPECT_EQ(FindInstalledFolder(files), "C:\\Nembric10");  // the candidate as written
}

TEST(FindInstalledFolder, SystemFoldersOnlyWhenTheSystemGivesThem) {
  FakeFiles files;
  files.knownFolders.clear();
  FindInstalledFolder(files);
  EXPECT_EQ(files.attributeQueries.front(), "C:\\Program Files\\Halvorn\\Nembric10\\HNembricAI.dll");
}

TEST(FindInstalledFolder, OnlyFixedDrivesFromCToZAreSearched) {
  FakeFiles files;
  files.drives = {{'A', 3}, {'C', 3}, {'D', 3}, {'E', kRemovable}, {'F', kNetwork}, {'G', 3}};
  files.SetContent("A:\\HNembricAI.dll", "MZ");
  files.SetContent("E:\\Halvorn\\Nembric10\\HNembricAI.dll", "MZ");
  files.SetContent("F:\\HNembricAI.dll", "MZ");
  EXPECT_EQ(FindInstalledFolder(files), std::nullopt);

  files.SetContent("D:\\Halvorn\\Nembric10\\HNembricAI.dll", "MZ");
  files.SetContent("G:\\HNembricAI.dll", "MZ");
  EXPECT_EQ(FindInstalledFolder(files), "D:\\Halvorn\\Nembric10");
  files.drives.erase('D');
  EXPECT_EQ(FindInstalledFolder(files), "G:\\");  // the root keeps its backslash
}

TEST(PickFolder, OpensTheSystemDialogWithItsOptionsTitleAndStart) {
  DialogFixture d(RunMode::install);
  d.fake.shell.existingFolders = {u"C:\\Nembric10"};
  d.fake.shell.pick = u"C:\\Nembric10\\Server";
  d.fake.runtime.comResult = static_cast<std::int32_t>(0x80010106U);  // RPC_E_CHANGED_MODE: MTA thread
  EXPECT_EQ(PickFolder(d.ui, d.window, "C:\\Nembric10"), "C:\\Nembric10\\Server");
  ASSERT_EQ(d.fake.shell.dialogs.size(), 1U);
  const FakeShell::Opened& opened = d.fake.shell.dialogs[0];
  EXPECT_EQ(opened.options, 0x868U);
  EXPECT_EQ(opened.title, u"Select Nembric installation folder");
  EXPECT_EQ(opened.initialFolder, u"C:\\Nembric10");
  EXPECT_EQ(opened.owner, d.window);
  EXPECT_EQ(d.fake.runtime.comFlags, 0x6U);        // apartment-threaded, no OLE1 DDE
  EXPECT_EQ(d.fake.runtime.uninitializeCalls, 0);  // the failed start is not undone
  EXPECT_EQ(d.fake.shell.liveDialogs, 0);
}

TEST(PickFolder, CancelMissingFoldersAndOverlongPathsPickNothing) {
  DialogFixture d(RunMode::install);
  EXPECT_EQ(PickFolder(d.ui, d.window, "Q:\\gone"), std::nullopt);  // cancelled
  EXPECT_EQ(d.fake.shell.dialogs[0].initialFolder, std::nullopt);
  EXPECT_EQ(d.fake.runtime.uninitializeCalls, 1);  // a start that worked is undone

  d.fake.shell.pick = u"C:\\" + std::u16string(300, u'd');
  EXPECT_EQ(PickFolder(d.ui, d.window, ""), std::nullopt);

  d.fake.shell.createResult = static_cast<std::int32_t>(0x80040154U);
  d.fake.shell.pick = u"C:\\x";
  EXPECT_EQ(PickFolder(d.ui, d.window, ""), std::nullopt);
}

TEST(BrowseForField, AnEmptyFieldStartsInAFoundInstallationAndThePickLandsInIt) {
  DialogFixture d(RunMode::modify);
  d.fake.files.SetContent("D:\\Nembric10\\HNembricAI.dll", "MZ");
  d.fake.shell.existingFolders = {u"D:\\Nembric10"};
  d.fake.shell.pick = u"D:\\Nembric10";
  d.fake.dialogs.Type(d.window, IDC_SERVER_DIRECTORY, "");
  BrowseForField(d.ui, d.window, IDC_SERVER_DIRECTORY);
  EXPECT_EQ(d.fake.shell.dialogs[0].initialFolder, u"D:\\Nembric10");
  EXPECT_EQ(d.Text(IDC_SERVER_DIRECTORY), "D:\\Nembric10");
  EXPECT_EQ(d.Control(IDC_SERVER_DIRECTORY).items.size(), 3U);  // the list stays as it was
  EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_SEARCH);     // the next field
  EXPECT_TRUE(d.Boxes().empty());                               // no check runs for a pick
}

TEST(BrowseForField, AFilledFieldStartsWhereItPointsAndCancelLeavesIt) {
  DialogFixture d(RunMode::modify);
  d.fake.files.SetContent("C:\\Nembric10\\HNembricAI.dll", "MZ");
  d.fake.shell.existingFolders = {u"c:\\HNembricAI"};
  d.fake.dialogs.Type(d.window, IDC_SERVER_DIRECTORY, "c:\\HNembricAI");
  BrowseForField(d.ui, d.window, IDC_SERVER_DIRECTORY);
  EXPECT_EQ(d.fake.shell.dialogs[0].initialFolder, u"c:\\HNembricAI");
  EXPECT_TRUE(d.fake.files.attributeQueries.empty());  // no search for a filled field
  EXPECT_EQ(d.Text(IDC_SERVER_DIRECTORY), "c:\\HNembricAI");
  EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_SERVER_DIRECTORY);
}

TEST(SearchButton, FillsTheServerDirectoryWithAFoundInstallation) {
  DialogFixture d(RunMode::modify);
  d.fake.files.SetContent("C:\\Program Files\\Halvorn\\Nembric10\\HNembricAI.dll", "MZ");
  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_SEARCH, 0));
  EXPECT_EQ(d.Text(IDC_SERVER_DIRECTORY), "C:\\Program Files\\Halvorn\\Nembric10");
  EXPECT_EQ(d.fake.dialogs.FocusedControlId(), IDC_SERVER_DIRECTORY);
  EXPECT_TRUE(d.Boxes().empty());
}

TEST(SearchButton, SaysSoWhenNothingIsFound) {
  DialogFixture d(RunMode::modify);
  EXPECT_TRUE(d.dialog.OnCommand(d.window, IDC_SEARCH, 0));
  EXPECT_EQ(d.Boxes(),
            std::vector<std::string>{
                "Setup could not find an installation of Nembric. Please select installation folder"});
  EXPECT_EQ(d.Text(IDC_SERVER_DIRECTORY), "c:\\HNembricAI");
}

}  // namespace
