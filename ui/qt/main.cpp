// The program's entry.

#include "ui/qt/program.h"

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, nullptr);
}
