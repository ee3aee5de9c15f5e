#include <gtest/gtest.h>

#include "gui/ui_test_support.h"
#include "nts/qt/nts_wiring.h"
#include "ui/command_ids.h"

namespace quorvane {
namespace {

using testing::ActionsWithId;
using testing::WindowRig;

TEST(UseNtsCommand, TogglesTheSettingStoresItAndKeepsBothMenusChecked) {
  WindowRig rig;
  EXPECT_EQ(rig.settings.Use_NTS, 0);
  CMainWindow& w = rig.Make();
  RegisterUseNtsCommand(w, w.Commands(), rig.settings, rig.store);
  const QList<QAction*> actions = ActionsWithId(w, cmd::kUseNts);
  ASSERT_EQ(actions.size(), 2);
  for (int expected : {1, 0}) {
    actions.front()->trigger();
    EXPECT_EQ(rig.settings.Use_NTS, expected);
    EXPECT_EQ(std::get<int32_t>(rig.store.values.at("Use_NTS")), expected);
    for (QAction* a : actions) EXPECT_EQ(a->isChecked(), expected == 1);
  }
}

TEST(UseNtsCommand, ListenModeSaysItHasNoNtsOnlyWhileNtsIsOn) {
  WindowRig rig;
  int listened = 0;
  const auto handler = WithListenNtsNotice([&] { ++listened; }, rig.settings, rig.boxes);
  handler();
  EXPECT_TRUE(rig.boxes.shown.empty());
  rig.settings.Use_NTS = 1;
  handler();
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text, kListenNtsNotice);
  EXPECT_EQ(listened, 2);
}

}  // namespace
}  // namespace quorvane
