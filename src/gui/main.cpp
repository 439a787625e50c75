#include "gui/basSubMain.h"

int main(int argc, char** argv)
{
    return calvane::RunCalvane(argc, argv);
}
