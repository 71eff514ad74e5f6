// The floor of the manager's start: a Qt Widgets program that shows an empty table window once and ends.
#include <QApplication>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStandardItemModel model(30, 8);
    QTableView view;
    view.setModel(&model);
    view.show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
