// The floor for start-up: the least a Qt Widgets program does to show a
// window like ours, one 554 x 601 window with a Chinese label in the
// application's font. bench/startup.sh starts it next to zubqr-gui; with
// ZUBQR_MARK_FIRST_PAINT set it reports its first paint the same way.
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

class Window : public QWidget {
protected:
  void paintEvent(QPaintEvent *event) override {
    QWidget::paintEvent(event);
    if (marked_ || !qEnvironmentVariableIsSet("ZUBQR_MARK_FIRST_PAINT"))
      return;
    marked_ = true;
    QTimer::singleShot(0, [] {
      std::fprintf(stderr, "bare-window: first paint %lld\n",
                   static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
      std::fflush(stderr);
    });
  }

private:
  bool marked_ = false;
};

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  Window window;
  window.setFixedSize(554, 601);
  window.setWindowTitle(QStringLiteral("Zub二维码生成器"));
  QLabel label(QStringLiteral("生成二维码"), &window);
  label.move(20, 20);
  window.show();
  return QApplication::exec();
}
