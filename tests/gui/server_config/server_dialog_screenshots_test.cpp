#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <cstdlib>

#include "gui/screenshot_support.h"
#include "gui/server_config/server_dialog_rig.h"

// The Server Configuration dialog into PNGs for a person to look at: fresh, after a test that
// succeeded and after one that failed. Runs only when QUORVANE_SHOTS_DIR names a folder.
namespace quorvane::testing {
namespace {

TEST(Screenshots, ServerConfigurationDialog) {
  if (ShotsDir().isEmpty()) GTEST_SKIP() << "QUORVANE_SHOTS_DIR not set";
  QDir().mkpath(ShotsDir());
  DialogRig r;
  r.engine.settings.Primary_Server = "pool.ntp.org";
  r.engine.settings.Secondary_Server = "time.nist.gov";
  r.WriteList("standard,pool.ntp.org\r\nstandard,time.nist.gov\r\ncustom,192.0.2.20\r\n");
  CTimeBaseDialog& d = r.Make();
  d.show();
  Save(d, "server_dialog_fresh.png");
  r.Click("testPrimaryButton");
  r.engine.clock.AdvanceMs(15);
  r.engine.AnswerWithOffset(0.0);
  Save(d, "server_dialog_succeeded.png");
  r.Click("testSecondaryButton");
  for (int i = 0; i < 4; ++i) r.engine.TimeOutOnce();
  Save(d, "server_dialog_failed.png");
}

}  // namespace
}  // namespace quorvane::testing
