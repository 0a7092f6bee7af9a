// orlogix: the program's entry point.
#include <cstdio>

int main(int argc, char** argv) {
    (void)argc;
    (void)argv;
    std::printf("orlogix %s\n", ORLOGIX_VERSION);
    return 0;
}
