#pragma once
#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Starting a decode worker program (LWDecodeWorkers' pool), always from one thread that lasts as
// long as the program: a worker's parent-death signal follows the thread that started it, and the
// threads that ask for decodes come and go.
namespace LWWorkerSpawn {

// A worker started: its pid and the program's end of its channel (the worker's is descriptor 3);
// pid -1 and the error (socketpair's or posix_spawn's errno) when none could be.
struct Spawned {
    pid_t pid = -1;
    int channel = -1;
    int error = 0;
};
[[nodiscard]] Spawned spawn(const QString &program);

// The program's file as it is on disk (empty: missing): a reinstalled or repaired one differs.
[[nodiscard]] QByteArray stampOf(const QString &program);

} // namespace LWWorkerSpawn
