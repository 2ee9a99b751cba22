// The plumbing check run on a made-up tree of this folder's program: it passes the tree as it is,
// and fails each way a test file can be left out, whatever form its tests take, and a disabled entry;
// and the project's own tests pass it against the build configured without precompiled headers.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

bool write(const QString &path, const QByteArray &text)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).path()) && f.open(QIODevice::WriteOnly) &&
           f.write(text) == text.size();
}

// This program's entries, one a file of this folder as lw_test() makes them, its files compiled;
// `more` is added to the CTest file.
bool makeTree(const QDir &root, const QByteArray &more)
{
    const QString program = QCoreApplication::applicationFilePath();
    const QDir folder(qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/../tools"));
    QByteArray ctest;
    QJsonArray compiled;
    for (const QString &file : folder.entryList({QStringLiteral("test_*.cpp")}, QDir::Files)) {
        const QString name = QStringLiteral("test_tools_") + file.section(u'_', 1).chopped(4);
        const QString source = root.filePath(QStringLiteral("tests/tools/") + file);
        if (!write(source, "// compiled as listed\n"))
            return false;
        ctest +=
            QStringLiteral("add_test(%1 \"%2\" \"--lw-files=%3\")\n"
                           "set_tests_properties(%1 PROPERTIES ENVIRONMENT \"QT_QPA_PLATFORM=offscreen\")\n")
                .arg(name, program, file)
                .toUtf8();
        compiled.append(QJsonObject{
            {"directory", root.filePath(QStringLiteral("build"))},
            {"command",
             QStringLiteral("c++ -c %1 -o tests/tools/CMakeFiles/%2.dir/%3.o").arg(source, name, file)},
            {"file", source}});
    }
    return !compiled.isEmpty() &&
           write(root.filePath(QStringLiteral("build/CTestTestfile.cmake")), ctest + more) &&
           write(root.filePath(QStringLiteral("build/compile_commands.json")),
                 QJsonDocument(compiled).toJson());
}

struct Form {
    const char *name;
    const char *file; // a file under tests/tools/ in no entry, if any
    QByteArray text;  // its text
    QByteArray ctest; // added to the CTest file
    const char *said; // what the failure names; none: the check passes
    // The project's own tests folder against the compile database of the project configured so.
    QStringList configured = {};
    // Folders under tests/ given as support paths, as the project's own entry gives `fuzz`; each
    // holds a file no program compiles.
    QStringList support = {};
};

// The compile database of the project configured with `options` in `build`.
bool configure(const QString &build, const QStringList &options)
{
    const QString source = QDir::cleanPath(qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/../.."));
    QProcess cmake;
    cmake.start(qEnvironmentVariable("LW_CMAKE", QStringLiteral("cmake")),
                QStringList{QStringLiteral("-S"), source, QStringLiteral("-B"), build, QStringLiteral("-G"),
                            QStringLiteral("Ninja")} +
                    options);
    const bool ran = cmake.waitForFinished(300000) && cmake.exitCode() == 0;
    EXPECT_TRUE(ran) << cmake.readAllStandardError().toStdString();
    return ran && QFile::exists(QDir(build).filePath(QStringLiteral("compile_commands.json")));
}

} // namespace

TEST(TestPlumbing, FailsForEveryFormOfALeftOutTestFileAndADisabledEntry)
{
    const QString tool = QCoreApplication::applicationDirPath() + QStringLiteral("/lw_test_plumbing");
    const QString ctest = qEnvironmentVariable("LW_CTEST", QStringLiteral("ctest"));
    const Form forms[] = {
        {"the tree as built", nullptr, {}, {}, nullptr},
        {"a file in no entry", "test_left.cpp", "TEST(Left, Out) {}\n", {}, "tests/tools/test_left.cpp"},
        {"a left-out file of typed tests",
         "test_typed.cpp",
         "template <typename T> class Typed : public testing::Test {};\nTYPED_TEST_SUITE(Typed, Types);\n"
         "TYPED_TEST(Typed, Holds) {}\n",
         {},
         "tests/tools/test_typed.cpp"},
        {"a left-out file whose tests a macro makes",
         "test_macro.cpp",
         "#define CHECKS(name) TEST(Macro, name) {}\nCHECKS(One)\n",
         {},
         "tests/tools/test_macro.cpp"},
        {"a left-out .cc file", "test_left.cc", "TEST(Left, Cc) {}\n", {}, "tests/tools/test_left.cc"},
        {"a disabled entry",
         nullptr,
         {},
         "set_tests_properties(test_tools_printercheck PROPERTIES DISABLED TRUE)\n",
         "test_tools_printercheck is disabled"},
        {"the tests of a build without precompiled headers", nullptr, {}, {}, nullptr,
         {QStringLiteral("-DLW_PCH=OFF")}},
        {"the tree as built, a support folder set aside", nullptr, {}, {}, nullptr, {}, {QStringLiteral("fuzz")}},
        {"a file in no entry, a support folder set aside",
         "test_left.cpp",
         "TEST(Left, Out) {}\n",
         {},
         "tests/tools/test_left.cpp",
         {},
         {QStringLiteral("fuzz")}},
    };
    for (const Form &form : forms) {
        SCOPED_TRACE(form.name);
        const QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QDir root(dir.path());
        ASSERT_TRUE(makeTree(root, form.ctest));
        if (form.file)
            ASSERT_TRUE(
                write(root.filePath(QStringLiteral("tests/tools/") + QLatin1String(form.file)), form.text));
        QStringList args = {ctest, root.filePath(QStringLiteral("build")), root.filePath(QStringLiteral("tests"))};
        for (const QString &aside : form.support) {
            ASSERT_TRUE(write(root.filePath(QStringLiteral("tests/%1/fuzz_aside.cpp").arg(aside)), "int aside;\n"));
            args << aside;
        }
        if (!form.configured.isEmpty()) {
            const QString configured = root.filePath(QStringLiteral("configured"));
            ASSERT_TRUE(configure(configured, form.configured));
            const QString database = QStringLiteral("/compile_commands.json");
            ASSERT_TRUE(QFile::remove(args[1] + database) && QFile::copy(configured + database, args[1] + database));
            // As the project's own entry runs it: the fuzz folder is built in the sanitizer tree only.
            args[2] = QDir::cleanPath(qEnvironmentVariable("LW_TEST_DATA") + QStringLiteral("/.."));
            args << QStringLiteral("fuzz");
        }
        QProcess check;
        check.start(tool, args);
        ASSERT_TRUE(check.waitForFinished(120000)) << "the plumbing check did not end within two minutes";
        const QString said = QString::fromLocal8Bit(check.readAllStandardError());
        EXPECT_EQ(check.exitCode(), form.said ? 1 : 0) << said.toStdString();
        if (form.said)
            EXPECT_TRUE(said.contains(QLatin1String(form.said))) << said.toStdString();
        else
            EXPECT_TRUE(check.readAllStandardOutput().contains(" 0 faults")) << said.toStdString();
    }
}
