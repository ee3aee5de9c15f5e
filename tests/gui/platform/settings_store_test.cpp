#include "platform/qt/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <limits>

namespace quorvane {
namespace {

class QtSettingsStoreTest : public ::testing::Test {
 protected:
  QString Path() const { return dir_.filePath(QString("Quorvane%1.conf").arg(caseNumber_)); }
  // Every case gets a file of its own: QSettings keeps parsed files and knows a rewrite only
  // by size and time stamp, which two quick writes of one length can share.
  void NextCase() { ++caseNumber_; }
  void WriteFile(const QString& text) {
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
  }
  QString ReadFile() const {
    QFile file(Path());
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
  }
  QTemporaryDir dir_;
  int caseNumber_ = 0;
};

struct IntCase {
  const char* line;  // the Options line as a user might have left it; empty: key absent
  int32_t expected;
};

TEST_F(QtSettingsStoreTest, IntegersReadStrictlyWithTheDefaultForAnythingElse) {
  constexpr int32_t kDefault = 77;
  const IntCase cases[] = {
      {"", kDefault},
      {"Value=5", 5},
      {"Value=-5", -5},
      {"Value=+5", 5},
      {"Value= 12 ", 12},
      {"Value=0", 0},
      {"Value=2147483647", std::numeric_limits<int32_t>::max()},
      {"Value=-2147483648", std::numeric_limits<int32_t>::min()},
      {"Value=2147483648", kDefault},
      {"Value=-2147483649", kDefault},
      {"Value=4294967295", kDefault},
      {"Value=99999999999999999999999", kDefault},
      {"Value=abc", kDefault},
      {"Value=12abc", kDefault},
      {"Value=0x10", kDefault},
      {"Value=1.5", kDefault},
      {"Value=", kDefault},
      {"Value=\"\"", kDefault},
      {"Value=1, 2", kDefault},
      {"Value=true", kDefault},
      {"Value=@Rect(1 2 3 4)", kDefault},
      {"Value=@ByteArray(9)", 9},
  };
  for (const IntCase& c : cases) {
    NextCase();
    WriteFile(QString("[Options]\n%1\n").arg(c.line));
    auto store = QtSettingsStore::ForFile(Path());
    EXPECT_EQ(store->ReadInt("Value", kDefault), c.expected) << "line: " << c.line;
  }
}

struct StringCase {
  const char* line;
  const char* expected;
};

TEST_F(QtSettingsStoreTest, StringsReadAsWrittenByHand) {
  const StringCase cases[] = {
      {"", "fallback"},
      {"Value=pool.ntp.org", "pool.ntp.org"},
      {"Value=5", "5"},
      {"Value=", ""},
      {"Value=\"a, b\"", "a, b"},
      {"Value=a, b", "a, b"},  // an unquoted comma splits into a list; it is joined again
      {"Value=@ByteArray(raw)", "raw"},
      {"Value=@Rect(1 2 3 4)", "fallback"},
  };
  for (const StringCase& c : cases) {
    NextCase();
    WriteFile(QString("[Options]\n%1\n").arg(c.line));
    auto store = QtSettingsStore::ForFile(Path());
    EXPECT_EQ(store->ReadString("Value", "fallback"), c.expected) << "line: " << c.line;
  }
}

TEST_F(QtSettingsStoreTest, KeysOutsideTheOptionsSectionAreNotSeen) {
  WriteFile("[General]\nSyncInterval=15\n[Other]\nSyncInterval=30\n");
  auto store = QtSettingsStore::ForFile(Path());
  EXPECT_EQ(store->ReadInt("SyncInterval", 3600), 3600);
}

TEST_F(QtSettingsStoreTest, WritesReachTheFileAtOnceAsPlainValues) {
  auto store = QtSettingsStore::ForFile(Path());
  store->WriteInt("ForeGroundColor", -16777216);
  store->WriteInt("SyncInterval", 3600);
  store->WriteString("Primary_Server", "a,b");
  store->WriteString("IntervalNum", "1");

  // Read back by a second store while the first is still open: nothing waits for its end.
  auto reader = QtSettingsStore::ForFile(Path());
  EXPECT_EQ(reader->ReadInt("ForeGroundColor", 0), -16777216);
  EXPECT_EQ(reader->ReadInt("SyncInterval", 0), 3600);
  EXPECT_EQ(reader->ReadString("Primary_Server", ""), "a,b");
  EXPECT_EQ(reader->ReadString("IntervalNum", ""), "1");

  const QString text = ReadFile();
  EXPECT_TRUE(text.startsWith("[Options]\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nSyncInterval=3600\n")) << text.toStdString();
  EXPECT_TRUE(text.contains("\nForeGroundColor=-16777216\n")) << text.toStdString();
}

TEST_F(QtSettingsStoreTest, UserProfileIsTheMakersFileForTheProgram) {
  const QString previous = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
  {
    QtSettingsStore store("Quorvane");
    store.WriteInt("StartMinimized", 1);
    EXPECT_EQ(QDir::cleanPath(store.FileName()),
              QDir::cleanPath(dir_.filePath("Veltrand/Quorvane.conf")));
  }
  QFile file(dir_.filePath("Veltrand/Quorvane.conf"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(file.readAll()), "[Options]\nStartMinimized=1\n");
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, previous);
}

}  // namespace
}  // namespace quorvane
