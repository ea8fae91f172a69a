// The scale of the start-up benchmark: an empty Qt window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Quorvik");
  window.resize(295, 160);
  window.show();
  return app.exec();
}
