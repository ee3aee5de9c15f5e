#include <gtest/gtest.h>

#include <QTest>

#include "gui/server_config/server_dialog_rig.h"
#include "server_config/qt/servers_command.h"

namespace quorvane::testing {
namespace {

TEST(ServerDialog, OpensWithCountsInRangeUnitsAndUntestedPanels) {
  const struct {
    const char* interval;
    const char* unit;
    const char* correction;
    const char* correctionUnit;
    const char* shownInterval;
    const char* shownUnit;
    const char* shownCorrection;
    const char* shownCorrectionUnit;
  } cases[] = {
      {"0", "Hour(s)", "0", "Minute(s)", "1", "Hour(s)", "1", "Minute(s)"},
      {"5", "Second(s)", "601", "Second(s)", "15", "Second(s)", "600", "Second(s)"},
      {"5", "Minute(s)", "7", "hour(s)", "5", "Minute(s)", "7", "Hour(s)"},
      {"601", "Hour(s)", "42", "", "600", "Hour(s)", "42", "Hour(s)"},
  };
  for (const auto& c : cases) {
    DialogRig r;
    AppSettings& s = r.engine.settings;
    s.IntervalNum = c.interval;
    s.IntervalUnit = c.unit;
    s.MaxCorrectionNum = c.correction;
    s.MaxCorrectionUnit = c.correctionUnit;
    r.Make();
    EXPECT_EQ(r.Text("intervalCountEdit"), c.shownInterval) << c.interval;
    EXPECT_EQ(r.List("intervalUnitList")->currentText().toStdString(), c.shownUnit);
    EXPECT_EQ(r.Text("correctionCountEdit"), c.shownCorrection) << c.correction;
    EXPECT_EQ(r.List("correctionUnitList")->currentText().toStdString(), c.shownCorrectionUnit);
    EXPECT_EQ(s.IntervalNum, c.interval);  // opening changes nothing stored
  }
  DialogRig r;
  r.engine.settings.UsingServer = 2;
  r.Make();
  EXPECT_EQ(r.Text("serverInUseField"), "Secondary");
  for (const char* field : {"primaryStatusField", "secondaryStatusField"}) {
    EXPECT_EQ(r.Text(field), "Untested");
  }
  for (const char* field :
       {"primaryRequestField", "primaryProcessingField", "primaryResponseField",
        "secondaryRequestField", "secondaryProcessingField", "secondaryResponseField"}) {
    EXPECT_EQ(r.Text(field), "    --------") << field;
  }
  EXPECT_EQ(r.Text("primaryServerEdit"), "primary.test");
  // Missing list file: the message, and two empty lists.
  ASSERT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_EQ(r.boxes.shown[0].text, kListFileMissingText);
}

TEST(ServerDialog, ListsAreSortedIgnoringCaseWithNothingSelectedAndOnlyPickedFrom) {
  DialogRig r;
  r.WriteList("standard,y\r\nstandard,X\nstandard,b,c\ncustom,z\r\ncustom,A");
  r.Make();
  QComboBox* standard = r.List("standardServerList");
  QStringList texts;
  for (int i = 0; i < standard->count(); ++i) texts << standard->itemText(i);
  EXPECT_EQ(texts, (QStringList{"b,c", "X", "y"}));
  EXPECT_EQ(standard->currentIndex(), -1);
  EXPECT_EQ(r.List("customServerList")->currentIndex(), -1);
  for (const char* list : {"standardServerList", "customServerList", "intervalUnitList"}) {
    EXPECT_FALSE(r.List(list)->isEditable()) << list;
  }
  EXPECT_TRUE(r.boxes.shown.empty());
}

TEST(ServerDialog, PrimaryFieldTurnsTypedLettersToLowerCaseAndStopsAtItsWidth) {
  DialogRig r;
  r.Make().show();
  QLineEdit* primary = r.Field("primaryServerEdit");
  primary->clear();
  QTest::keyClicks(primary, "Time.EXAMPLE");
  EXPECT_EQ(primary->text(), "time.example");
  const QString longText(200, QChar('w'));
  QTest::keyClicks(primary, longText);
  EXPECT_LT(primary->text().size(), 100);
  EXPECT_LE(primary->fontMetrics().horizontalAdvance(primary->text()), primary->width());
  // Typing stopped; deleting still works.
  const qsizetype full = primary->text().size();
  QTest::keyClick(primary, Qt::Key_Backspace);
  EXPECT_EQ(primary->text().size(), full - 1);
  // The secondary field scrolls instead.
  QTest::keyClicks(r.Field("secondaryServerEdit"), longText);
  EXPECT_GT(r.Field("secondaryServerEdit")->text().size(), 200);
}

TEST(ServerDialog, AddChecksPrefixesIgnoringCaseAndClearsTheField) {
  const struct {
    const char* existing;
    const char* typed;
    bool added;
  } cases[] = {
      {"ABC", "ab", false}, {"ab", "ABC", true}, {"abc", "ABC", false},
      {"abc", "", false},   {"x", " x", true},
  };
  for (const auto& c : cases) {
    DialogRig r;
    r.WriteList(std::string("custom,") + c.existing + "\r\n");
    r.Make();
    r.Field("newCustomServerEdit")->setText(c.typed);
    r.Click("addCustomButton");
    EXPECT_EQ(r.List("customServerList")->count(), c.added ? 2 : 1) << c.typed;
    EXPECT_TRUE(r.Text("newCustomServerEdit").empty()) << c.typed;
    EXPECT_EQ(r.List("customServerList")->currentIndex(), -1) << c.typed;
  }
}

TEST(ServerDialog, MakePrimaryTakesFromTheListThatLastHadTheFocus) {
  DialogRig r;
  r.WriteList("standard,std.example\r\ncustom,cus.example\r\n");
  r.Make().show();
  r.List("standardServerList")->setCurrentIndex(0);
  r.List("customServerList")->setCurrentIndex(0);
  r.Click("makePrimaryButton");
  EXPECT_EQ(r.Text("primaryServerEdit"), "primary.test");  // no list had the focus yet
  QApplication::setActiveWindow(r.dialog.get());
  r.List("customServerList")->setFocus();
  r.Click("makePrimaryButton");
  EXPECT_EQ(r.Text("primaryServerEdit"), "cus.example");
  r.List("standardServerList")->setFocus();
  r.Click("makeSecondaryButton");
  EXPECT_EQ(r.Text("secondaryServerEdit"), "std.example");
  r.Click("swapButton");
  EXPECT_EQ(r.Text("primaryServerEdit"), "std.example");
  EXPECT_EQ(r.Text("secondaryServerEdit"), "cus.example");
  r.Click("removeSelectionButton");
  EXPECT_EQ(r.List("customServerList")->count(), 0);
  r.Click("removeSelectionButton");  // nothing left to remove
  EXPECT_EQ(r.List("customServerList")->count(), 0);
}

TEST(ServerDialog, OkTakesTheFieldsAndSavesTheListsSorted) {
  DialogRig r;
  r.WriteList("custom,z\nstandard,y\nstandard,X\n\xff\xfe junk\nstandard,\x01\x80\n");
  CTimeBaseDialog& d = r.Make();
  r.Field("primaryServerEdit")->setText(QString(60, QChar('p')));
  r.Field("secondaryServerEdit")->setText(" second ");
  r.Field("intervalCountEdit")->setText("5");
  r.List("intervalUnitList")->setCurrentIndex(2);
  r.Field("correctionCountEdit")->clear();
  r.Find<QCheckBox>("notifyCheckBox")->setChecked(true);
  r.Click("okButton");
  EXPECT_EQ(d.result(), QDialog::Accepted);
  const AppSettings& s = r.engine.settings;
  EXPECT_EQ(d.PrimaryServer(), std::string(49, 'p'));
  EXPECT_EQ(d.SecondaryServer(), " second ");
  EXPECT_EQ(s.IntervalNum, "15");
  EXPECT_EQ(s.IntervalUnit, "Second(s)");
  EXPECT_EQ(s.MaxCorrectionNum, "1");
  EXPECT_EQ(s.Notify_User, 1);
  EXPECT_EQ(r.ReadList(), "standard,\x01\x80\r\nstandard,X\r\nstandard,y\r\ncustom,z\r\n");
}

TEST(ServerDialog, TestResultsFillTheirPanel) {
  DialogRig r;
  r.Make();
  r.Field("secondaryServerEdit")->setText("  tested.example\t");
  r.Click("testSecondaryButton");
  EXPECT_EQ(r.Text("secondaryStatusField"), "Testing ...");
  EXPECT_EQ(r.engine.settings.ServerInUse, "tested.example");
  r.engine.AnswerWithOffset(0.0);
  EXPECT_EQ(r.Text("secondaryStatusField"), "Succeeded");
  EXPECT_EQ(r.Text("secondaryProcessingField"), "0.000000");
  EXPECT_EQ(r.Text("primaryStatusField"), "Untested");
  EXPECT_EQ(r.engine.engine.State().ServerTest.ServerTestTarget, 0);
  r.Click("testPrimaryButton");
  r.engine.sockets.Deliver(Reply(0, 0));  // rejected as invalid data
  EXPECT_EQ(r.Text("primaryStatusField"), "FAILED !!!");
  EXPECT_EQ(r.Text("primaryRequestField"), "    --------");
  EXPECT_EQ(r.engine.engine.State().ServerTest.ServerTestTarget, 0);
}

TEST(ServerDialog, NoTestsInListenMode) {
  DialogRig r;
  r.engine.settings.Socket_Mode = kListenMode;
  r.Make();
  EXPECT_FALSE(r.Find<QPushButton>("testPrimaryButton")->isEnabled());
  EXPECT_FALSE(r.Find<QPushButton>("testSecondaryButton")->isEnabled());
}

TEST(ServerDialog, TabOrderFollowsTheTemplate) {
  DialogRig r;
  r.Make();
  const char* order[] = {"okButton",
                         "cancelButton",
                         "primaryServerEdit",
                         "intervalCountEdit",
                         "intervalUnitList",
                         "correctionCountEdit",
                         "correctionUnitList",
                         "testPrimaryButton",
                         "secondaryServerEdit",
                         "testSecondaryButton",
                         "swapButton",
                         "standardServerList",
                         "customServerList",
                         "makePrimaryButton",
                         "makeSecondaryButton",
                         "newCustomServerEdit",
                         "addCustomButton",
                         "removeSelectionButton",
                         "notifyCheckBox"};
  // The read-only results take the focus too, between these; the keyboard runs of all
  // dialogs check where they join.
  const auto readOnly = [](QWidget* w) {
    const auto* field = qobject_cast<QLineEdit*>(w);
    return field != nullptr && field->isReadOnly();
  };
  QWidget* w = r.Find<QWidget>(order[0]);
  for (size_t i = 1; i < std::size(order); ++i) {
    do {
      w = w->nextInFocusChain();
    } while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty() || readOnly(w));
    EXPECT_EQ(w->objectName().toStdString(), order[i]);
  }
}

}  // namespace
}  // namespace quorvane::testing
