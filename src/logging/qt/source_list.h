#pragma once

#include <QListWidget>
#include <QStringList>

namespace quorvane {

// The "Servers Used:" list: rows of tab-separated columns, sorted without regard to case,
// drawn with tab stops at 110, 155 and 215 dialog units so the columns line up. Rows can
// be read but not selected.
class SourceList : public QListWidget {
  Q_OBJECT

 public:
  explicit SourceList(QWidget* parent);

  void SetRows(QStringList rows);
  // The tab stops in pixels from the row's left edge, for the dialog's font.
  QList<qreal> TabStops() const;
};

}  // namespace quorvane
