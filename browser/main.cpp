// Katalox: program entry.
#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Katalox"));
    QLabel window(QStringLiteral("Katalox"));
    window.setWindowTitle(QStringLiteral("Katalox"));
    window.resize(640, 480);
    window.show();
    return QApplication::exec();
}
