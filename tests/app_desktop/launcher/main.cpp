// Starts the tray program exactly as corvix does once its main() runs it.
#include "app/program.h"

int main(int argc, char** argv) {
    return corvix::app::runCorvix(argc, argv);
}
