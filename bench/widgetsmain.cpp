#include "widgetsapp.h"

#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
    LWWidgetsApp app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
