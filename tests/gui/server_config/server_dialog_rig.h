#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "server_config/qt/time_base_dialog.h"
#include "support/engine_test_support.h"
#include "support/temp_dir.h"

namespace quorvane::testing {

// A Server Configuration dialog over an engine on fake sockets and a real list file in a
// temporary program directory; the engine's test results go to the dialog.
struct DialogRig {
  TempDir dir;
  EngineRig engine;
  FakeMessageBoxes boxes;
  FakeSettingsStore store;
  PosixListFileOps files;
  std::unique_ptr<CTimeBaseDialog> dialog;

  DialogRig() { engine.settings.ProgramDirectory = dir.path() + "/"; }
  std::filesystem::path ListPath() const {
    return std::filesystem::path(dir.path()) / "Quorvane.ini";
  }
  void WriteList(const std::string& text) const {
    std::ofstream(ListPath(), std::ios::binary) << text;
  }
  std::string ReadList() const {
    std::ifstream in(ListPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  CTimeBaseDialog& Make() {
    AppSettings& s = engine.settings;
    dialog =
        std::make_unique<CTimeBaseDialog>(s.Primary_Server, s.Secondary_Server,
                                          ServerDialogPorts{s, store, engine.engine, boxes, files});
    engine.engine.SetServerDialogOpen(true);
    engine.ui.onTestSucceeded = [this] { dialog->TestSucceeded(); };
    engine.ui.onTestFailed = [this] { dialog->TestFailed(); };
    return *dialog;
  }
  template <typename W>
  W* Find(const char* name) const {
    return dialog->findChild<W*>(QString::fromLatin1(name));
  }
  QLineEdit* Field(const char* name) const { return Find<QLineEdit>(name); }
  QComboBox* List(const char* name) const { return Find<QComboBox>(name); }
  void Click(const char* name) const { Find<QPushButton>(name)->click(); }
  std::string Text(const char* name) const { return Field(name)->text().toStdString(); }
};

}  // namespace quorvane::testing
