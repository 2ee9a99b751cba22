// The print step of ./test run against stand-ins for the scheduler's programs in a temporary
// folder: a queue that cannot be made fails the step, naming why. Nothing is printed.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

bool program(const QString &path, const QByteArray &script)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) &&
           f.write("#!/bin/sh\n" + script) > 0 &&
           f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                            QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                            QFileDevice::ExeOther);
}

} // namespace

TEST(PrinterCheck, AQueueThatCannotBeMadeFailsTheStep)
{
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir root(dir.path());
    const QByteArray refuse = "echo 'lpadmin: the stand-in makes no queue' >&2\nexit 1\n";
    // Where the step looks for a scheduler unpacked into the build, and first on the PATH too
    // (for a machine with the scheduler installed, whose own scheduler then starts in the step's folder).
    const QString unpacked = root.filePath(QStringLiteral("build/print-scheduler/usr"));
    ASSERT_TRUE(program(unpacked + QStringLiteral("/sbin/cupsd"), "exec sleep 60\n"));
    ASSERT_TRUE(program(unpacked + QStringLiteral("/bin/lpstat"), "echo 'scheduler is running'\n"));
    ASSERT_TRUE(program(unpacked + QStringLiteral("/sbin/lpadmin"), refuse));
    ASSERT_TRUE(program(root.filePath(QStringLiteral("path/lpadmin")), refuse));

    const QString source = QDir::cleanPath(qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/../.."));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LW_BUILD_DIR"), root.filePath(QStringLiteral("build")));
    env.insert(QStringLiteral("PATH"),
               root.filePath(QStringLiteral("path")) + u':' + env.value(QStringLiteral("PATH")));
    QProcess step;
    step.setProcessEnvironment(env);
    step.start(QStringLiteral("bash"), {source + QStringLiteral("/tools/printer-check.sh")});
    ASSERT_TRUE(step.waitForFinished(60000)) << "the print step did not end within a minute";
    const QString said = QString::fromLocal8Bit(step.readAllStandardOutput() + step.readAllStandardError());
    EXPECT_EQ(step.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(
        said.contains(QStringLiteral("the queue could not be set up: lpadmin: the stand-in makes no queue")))
        << said.toStdString();
}
