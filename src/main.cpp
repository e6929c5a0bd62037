#include "app/RunSorvane.h"

int main(int argc, char** argv) { return sorvane::app::runSorvane(argc, argv); }
