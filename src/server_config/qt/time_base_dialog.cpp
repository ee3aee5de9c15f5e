#include "server_config/qt/time_base_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>

#include "server_config/server_dialog_rules.h"

namespace quorvane {
namespace {

QString Text(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Bytes(const QString& text) { return text.toStdString(); }

void ShowPlaceholders(const TestPanel& panel) {
  for (QLineEdit* field : {panel.request, panel.processing, panel.response}) {
    field->setText(QString::fromLatin1(kNoTimeText));
  }
}

void SelectUnit(QComboBox& list, std::string_view stored) {
  list.setCurrentIndex(list.findText(Text(ShownUnit(stored))));
}

// Many entries at once: one model reset instead of a row insertion each.
void FillList(QComboBox& list, std::vector<std::string> entries) {
  SortIgnoringCase(entries);
  QList<QStandardItem*> items;
  items.reserve(static_cast<qsizetype>(entries.size()));
  for (const std::string& entry : entries) {
    auto* item = new QStandardItem(Text(entry));
    // The file's bytes, which need not be valid text, go back to it unchanged.
    item->setData(QByteArray(entry.data(), static_cast<qsizetype>(entry.size())), Qt::UserRole);
    items.append(item);
  }
  auto* model = new QStandardItemModel(&list);
  model->appendColumn(items);
  list.setModel(model);
  list.setCurrentIndex(-1);
}

}  // namespace

std::string EntryBytes(const QComboBox& list, int index) {
  const QByteArray bytes = list.itemData(index, Qt::UserRole).toByteArray();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void InsertSorted(QComboBox& list, const std::string& entry) {
  int low = 0;
  int high = list.count();
  while (low < high) {
    const int mid = (low + high) / 2;
    if (LessIgnoringCase(entry, EntryBytes(list, mid))) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  const int selected = list.currentIndex();
  list.insertItem(low, Text(entry), QByteArray(entry.data(), static_cast<qsizetype>(entry.size())));
  // A new entry never becomes the selection.
  list.setCurrentIndex(selected < low ? selected : selected + 1);
}

CTimeBaseDialog::CTimeBaseDialog(std::string primary, std::string secondary,
                                 const ServerDialogPorts& ports, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      primary_(std::move(primary)),
      secondary_(std::move(secondary)),
      ports_(ports) {
  setWindowTitle(QString::fromLatin1(kServerDialogTitle));
  c_ = BuildServerDialogTemplate(*this);
  ConnectHandlers();
  OnInitDialog();
}

void CTimeBaseDialog::OnInitDialog() {
  const AppSettings& s = ports_.settings;
  c_.notify->setChecked(s.Notify_User != 0);
  c_.primary->setText(Text(primary_));
  c_.secondary->setText(Text(secondary_));
  SelectUnit(*c_.intervalUnit, s.IntervalUnit);
  SelectUnit(*c_.correctionUnit, s.MaxCorrectionUnit);
  ShowCounts();
  for (const TestPanel* panel : {&c_.primaryPanel, &c_.secondaryPanel}) {
    panel->status->setText(QString::fromLatin1(kUntestedText));
    ShowPlaceholders(*panel);
    // In listen mode the engine's one socket is the listening one; a test would take it away.
    panel->testButton->setEnabled(s.Socket_Mode != kListenMode);
  }
  ports_.engine.EndServerTest();
  c_.serverInUse->setText(QString::fromLatin1(UsingServerText(s.UsingServer)));
  LoadLists();
  c_.ok->setFocus();
}

void CTimeBaseDialog::ShowCounts() {
  const AppSettings& s = ports_.settings;
  c_.intervalCount->setText(Text(ShownIntervalCount(s.IntervalNum, s.IntervalUnit)));
  c_.correctionCount->setText(Text(ShownCorrectionCount(s.MaxCorrectionNum)));
}

void CTimeBaseDialog::LoadLists() {
  listPath_ = ports_.settings.ProgramDirectory + std::string(kServerListFileName);
  tempPath_ = ports_.settings.ProgramDirectory + std::string(kServerListTempFileName);
  ServerLists lists = LoadServerLists(listPath_, ports_.files, ports_.boxes);
  FillList(*c_.standardList, std::move(lists.standard));
  FillList(*c_.customList, std::move(lists.custom));
}

void CTimeBaseDialog::ConnectHandlers() {
  connect(c_.ok, &QPushButton::clicked, this, &CTimeBaseDialog::accept);
  connect(c_.cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(c_.primaryPanel.testButton, &QPushButton::clicked, this, [this] { StartTest(1); });
  connect(c_.secondaryPanel.testButton, &QPushButton::clicked, this, [this] { StartTest(2); });
  connect(c_.swap, &QPushButton::clicked, this, [this] {
    const QString primary = c_.primary->text();
    c_.primary->setText(c_.secondary->text());
    c_.secondary->setText(primary);
  });
  connect(c_.makePrimary, &QPushButton::clicked, this, [this] { MakeServer(c_.primary); });
  connect(c_.makeSecondary, &QPushButton::clicked, this, [this] { MakeServer(c_.secondary); });
  connect(c_.addCustom, &QPushButton::clicked, this, &CTimeBaseDialog::AddCustom);
  connect(c_.removeCustom, &QPushButton::clicked, this, &CTimeBaseDialog::RemoveCustom);
  c_.standardList->installEventFilter(this);
  c_.customList->installEventFilter(this);
}

bool CTimeBaseDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == c_.standardList || watched == c_.customList) {
      standardChosen_ = watched == c_.standardList;
      customChosen_ = !standardChosen_;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CTimeBaseDialog::MakeServer(QLineEdit* field) {
  if (standardChosen_ && c_.standardList->currentIndex() >= 0) {
    field->setText(c_.standardList->currentText());
  }
  if (customChosen_ && c_.customList->currentIndex() >= 0) {
    field->setText(c_.customList->currentText());
  }
}

void CTimeBaseDialog::AddCustom() {
  const std::string typed = Bytes(c_.newCustom->text());
  if (typed.empty()) return;
  bool found = false;
  for (int i = 0; i < c_.customList->count() && !found; ++i) {
    found = StartsWithIgnoringCase(EntryBytes(*c_.customList, i), typed);
  }
  if (!found) InsertSorted(*c_.customList, typed);
  c_.newCustom->clear();
}

void CTimeBaseDialog::RemoveCustom() {
  const int selected = c_.customList->currentIndex();
  if (selected >= 0) c_.customList->removeItem(selected);
  c_.customList->setCurrentIndex(-1);
}

ServerLists CTimeBaseDialog::ListsShown() const {
  ServerLists lists;
  for (int i = 0; i < c_.standardList->count(); ++i) {
    lists.standard.push_back(EntryBytes(*c_.standardList, i));
  }
  for (int i = 0; i < c_.customList->count(); ++i) {
    lists.custom.push_back(EntryBytes(*c_.customList, i));
  }
  return lists;
}

void CTimeBaseDialog::StartTest(int target) {
  const TestPanel* panel = PanelOf(target);
  panel->status->setText(QString::fromLatin1(kTestingText));
  ShowPlaceholders(*panel);
  QLineEdit* field = target == 1 ? c_.primary : c_.secondary;
  // The text in the field is tested, saved or not.
  ports_.settings.ServerInUse = TrimmedServerText(Bytes(field->text()));
  ports_.engine.StartServerTest(target);
}

const TestPanel* CTimeBaseDialog::PanelOf(int target) const {
  if (target == 1) return &c_.primaryPanel;
  if (target == 2) return &c_.secondaryPanel;
  return nullptr;
}

void CTimeBaseDialog::TestSucceeded() {
  const ServerTestLink& test = ports_.engine.State().ServerTest;
  if (const TestPanel* panel = PanelOf(test.ServerTestTarget)) {
    panel->status->setText(QString::fromLatin1(kSucceededText));
    panel->request->setText(Text(test.RequestTravelText));
    panel->processing->setText(Text(test.ServerProcessingText));
    panel->response->setText(Text(test.ResponseTravelText));
  }
  ports_.engine.EndServerTest();
}

void CTimeBaseDialog::TestFailed() {
  if (const TestPanel* panel = PanelOf(ports_.engine.State().ServerTest.ServerTestTarget)) {
    panel->status->setText(QString::fromLatin1(kFailedText));
    ShowPlaceholders(*panel);
  }
  ports_.engine.EndServerTest();
}

void CTimeBaseDialog::accept() {
  AppSettings& s = ports_.settings;
  s.Notify_User = c_.notify->isChecked() ? 1 : 0;
  primary_ = CutServerText(Bytes(c_.primary->text()));
  secondary_ = CutServerText(Bytes(c_.secondary->text()));
  s.IntervalUnit = Bytes(c_.intervalUnit->currentText());
  s.MaxCorrectionUnit = Bytes(c_.correctionUnit->currentText());
  s.IntervalNum = StoredIntervalCount(Bytes(c_.intervalCount->text()), s.IntervalUnit);
  s.MaxCorrectionNum = StoredCorrectionCount(Bytes(c_.correctionCount->text()));
  SaveServerLists(listPath_, tempPath_, ListsShown(), ports_.files, ports_.boxes);
  ApplyServerConfiguration(s, ports_.store, ports_.boxes, primary_, secondary_);
  ports_.engine.ClearFailoverSinceReply();
  QDialog::accept();
}

}  // namespace quorvane
