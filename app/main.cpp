#include "ProgramStart.h"

int main(int argc, char** argv) {
    return vemba::runProgram(argc, argv);
}
