#include "logging/qt/source_list.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextOption>

#include "platform/qt/dialog_units.h"

namespace quorvane {
namespace {

constexpr int kTabStops[] = {110, 155, 215};
// The gap between a row's edge and its text.
constexpr int kTextIndent = 2;

class TabStopDelegate : public QStyledItemDelegate {
 public:
  explicit TabStopDelegate(SourceList* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    // The frame and background as the style draws them; the text with tab stops.
    QStyle* style = opt.widget != nullptr ? opt.widget->style() : nullptr;
    if (style != nullptr) style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
    textOption.setWrapMode(QTextOption::NoWrap);
    textOption.setTabArray(list_->TabStops());
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(QPalette::Text));
    painter->drawText(QRectF(opt.rect.adjusted(kTextIndent, 0, 0, 0)), text, textOption);
    painter->restore();
  }

 private:
  SourceList* list_;
};

}  // namespace

SourceList::SourceList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::NoSelection);
  setItemDelegate(new TabStopDelegate(this));
}

void SourceList::SetRows(QStringList rows) {
  clear();
  rows.sort(Qt::CaseInsensitive);
  addItems(rows);
}

QList<qreal> SourceList::TabStops() const {
  // Dialog units of the dialog's font, counted from the row's left edge.
  const QFontMetrics metrics =
      parentWidget() != nullptr ? parentWidget()->fontMetrics() : fontMetrics();
  QList<qreal> stops;
  for (const int du : kTabStops) {
    stops.append(DialogUnitsToPixels(metrics, du, 0, 0, 0).x() - kTextIndent);
  }
  return stops;
}

}  // namespace quorvane
