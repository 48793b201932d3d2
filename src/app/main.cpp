#include "app/startup.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    // Answered before QApplication exists, so that it needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("dorel-rpu-sela %s\n", RPU_VERSION);
            return 0;
        }
    }
    return rpu::RunProgram(argc, argv);
}
