// The yardstick for the idle measurement: the least a Qt program with a clock face does, a
// 500 x 190 window that repaints the time every 200 ms.
#include <QApplication>
#include <QPainter>
#include <QTime>
#include <QTimer>
#include <QWidget>

namespace {

class TimeFace : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 128, 255));
    QFont font("Arial");
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(249, 192, 0));
    painter.drawText(rect(), Qt::AlignCenter, QTime::currentTime().toString("HH:mm:ss"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  TimeFace face;
  face.resize(500, 190);
  face.setWindowTitle("Minimal");
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, &face, [&face] { face.update(); });
  timer.start(200);
  face.show();
  return application.exec();
}
