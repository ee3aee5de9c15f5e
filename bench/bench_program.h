#pragma once

#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/qt/quorvane_app.h"
#include "fakes/fake_message_boxes.h"
#include "platform/qt/settings_store.h"

// The real program's surroundings for a benchmark: a settings profile of its own in a
// temporary folder (also the program's folder), boxes answered by a fake, and a
// single-instance name that no other run shares.
class BenchProgram {
 public:
  // `options`: the profile's [Options] lines; `name`: the stem of the single-instance name.
  BenchProgram(const char* options, const std::string& name)
      : instanceName_(name + "-" + std::to_string(getpid())) {
    const QString conf = dir_.filePath("Quorvane.conf");
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write("[Options]\n");
    file.write(options);
    file.close();
    store_ = quorvane::QtSettingsStore::ForFile(conf);
  }
  // False when the profile could not be written.
  bool Ready() const { return store_ != nullptr; }
  const quorvane::testing::FakeMessageBoxes& Boxes() const { return boxes_; }

  quorvane::QuorvaneSetup Setup(quorvane::Clock& clock) {
    quorvane::QuorvaneSetup setup;
    setup.clock = &clock;
    setup.store = store_.get();
    setup.boxes = &boxes_;
    setup.executablePath = dir_.path().toStdString() + "/Quorvane";
    setup.programDirectory = dir_.path().toStdString() + "/";
    setup.instanceName = instanceName_;
    return setup;
  }

 private:
  QTemporaryDir dir_;
  std::string instanceName_;
  std::unique_ptr<quorvane::QtSettingsStore> store_;
  quorvane::testing::FakeMessageBoxes boxes_;
};
