// corvix: the program. Everything is in runCorvix so that tests can run it too.
#include "app/program.h"

int main(int argc, char** argv) { return corvix::app::runCorvix(argc, argv); }
