#include "ui/control_text.h"

#include <gtest/gtest.h>

#include "dialog_test_support.h"

namespace {

TEST(ReadControlText, ReadsEditsAndEditableComboBoxesThroughTheirEditPart) {
  DialogFixture d(RunMode::modify);
  DialogView& view = d.fake.dialogs;
  d.fake.dialogs.Type(d.window, IDC_PORT, "8080");
  EXPECT_EQ(ReadFieldText(view, d.window, IDC_PORT, 255), "8080");
  const WindowHandle combo = view.GetControl(d.window, IDC_SERVER_DIRECTORY);
  view.SetText(combo, "d:\\typed by hand");
  EXPECT_EQ(ReadControlText(view, combo, 255), "d:\\typed by hand");
  EXPECT_EQ(ReadControlText(view, view.ComboBoxParts(combo)->edit, 255), "d:\\typed by hand");
  EXPECT_EQ(ReadControlText(view, combo, 4), "d:\\t");  // bounded to the destination
}

TEST(ReadControlText, DropDownListsGiveTheirSelectedItem) {
  DialogFixture d(RunMode::modify);
  DialogView& view = d.fake.dialogs;
  const WindowHandle combo = view.GetControl(d.window, IDC_EDITION);
  d.Control(IDC_EDITION).style = DialogView::kComboDropDownList;
  view.SelectItem(combo, 1);
  EXPECT_EQ(ReadControlText(view, combo, 255), "Team");
  view.SelectItem(combo, -1);
  EXPECT_EQ(ReadControlText(view, combo, 255), "");
}

TEST(ReadControlText, GoneWindowsFail) {
  DialogFixture d(RunMode::modify);
  EXPECT_EQ(ReadControlText(d.fake.dialogs, WindowHandle::none, 255), std::nullopt);
  EXPECT_EQ(ReadControlText(d.fake.dialogs, static_cast<WindowHandle>(0xDEAD), 255), std::nullopt);
  EXPECT_EQ(ReadFieldText(d.fake.dialogs, d.window, 4242, 255), "");
}

}  // namespace
