// Program entry: the Qt application object, the main window, the event loop.
#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return 0;
}
