#include "shell/startup.h"

int main(int argc, char **argv)
{
    // The console modes join here as they are built: selfTest, imageWritingRequested, imageWriting.
    const LWStartup::Runners runners;
    return LWStartup::main(argc, argv, runners);
}
