#include "diagnostics/selftest.h"
#include "diagnostics/snapshot.h"
#include "shell/startup.h"

int main(int argc, char **argv)
{
    LWStartup::Runners runners;
    runners.selfTest = [] { return LWSelfTest::run(); };
    // One option table decides both whether the image-writing mode applies and what it does.
    runners.imageWritingRequested = [](const QStringList &args) {
        return LWSnapshot::request(args).has_value();
    };
    runners.imageWriting = [](const QStringList &args) { return LWSnapshot::handle(args); };
    return LWStartup::main(argc, argv, runners);
}
