#include "diagnostics/selftest.h"
#include "shell/startup.h"

int main(int argc, char **argv)
{
    // The console modes join here as they are built: imageWritingRequested, imageWriting.
    LWStartup::Runners runners;
    runners.selfTest = [] { return LWSelfTest::run(); };
    return LWStartup::main(argc, argv, runners);
}
