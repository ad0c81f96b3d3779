#include "app/GlobalMain.h"

int main(int argc, char *argv[])
{
    return zv::runApplication(argc, argv);
}
