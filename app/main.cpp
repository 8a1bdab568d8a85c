#include "app/startup.h"

int main(int argc, char** argv) {
    return orvane::RunStartup(argc, argv);
}
