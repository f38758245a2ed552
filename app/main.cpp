// corvix: the program. For now an empty main window that exits cleanly when closed.
#include <QApplication>
#include <QMainWindow>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "corvix: no display found (DISPLAY is not set)\n");
        return 1;
    }
    QApplication app(argc, argv);
    QMainWindow frame;
    frame.setWindowTitle("Halden Corvix");
    frame.resize(640, 480);
    frame.show();
    return app.exec();
}
