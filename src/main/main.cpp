// The program's entry: everything else lives in the engine library.
#include "game/application.h"

int main() { return runFlagstorm(); }
