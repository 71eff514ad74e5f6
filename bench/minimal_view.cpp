// The floor of the cold start: a QWebEngineView that loads the page named by its argument, reads the
// document's title as Pagora does, appends "title TAB <title>" to the file named by its second
// argument and ends.
#include <QApplication>
#include <QFile>
#include <QWebEngineScript>
#include <QWebEngineView>

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QWebEngineView view;
    QObject::connect(view.page(), &QWebEnginePage::loadFinished, &view, [&view, out](bool) {
        view.page()->runJavaScript(QStringLiteral("document.title"), QWebEngineScript::ApplicationWorld,
                                   [out](const QVariant& title) {
                                       QFile file(out);
                                       if (file.open(QIODevice::WriteOnly | QIODevice::Append))
                                           file.write("title\t" + title.toString().toUtf8() + '\n');
                                       QCoreApplication::exit(0);
                                   });
    });
    view.load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
    view.show();
    return QApplication::exec();
}
