#include "app/startup.h"

int main(int argc, char **argv)
{
    return rpu::RunProgram(argc, argv);
}
