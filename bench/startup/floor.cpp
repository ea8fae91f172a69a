// The floor of the start-up benchmark: the same window as Quorvik's (same
// controls, texts, font, geometry and rows), written directly against Qt
// widgets, with no class library, stored layout or crash reporter.
#include <QApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

int main(int argc, char** argv) {
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Quorvik");
  QFont font("Arial");
  font.setPixelSize(14);
  window.setFont(font);
  window.move(560, 335);
  window.resize(295, 160);

  auto* list = new QTreeWidget(&window);
  list->setGeometry(0, 48, 295, 112);
  list->setRootIsDecorated(false);
  list->setUniformRowHeights(true);
  list->header()->setStretchLastSection(false);
  list->setHeaderLabels({"Column 1", "Column 2"});
  list->setColumnWidth(0, 130);
  list->setColumnWidth(1, 130);
  for (int i = 1; i <= 9; ++i) {
    auto* row = new QTreeWidgetItem(list, {QString("Line %1").arg(i)});
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(0, Qt::Unchecked);
  }
  auto* show = new QRadioButton("Show Checkboxes", &window);
  show->setGeometry(8, 6, 169, 17);
  show->setChecked(true);
  auto* hide = new QRadioButton("No Checkboxes", &window);
  hide->setGeometry(8, 26, 165, 17);
  auto* help = new QPushButton("Help", &window);
  help->setGeometry(192, 14, 90, 26);
  window.show();
  return app.exec();
}
