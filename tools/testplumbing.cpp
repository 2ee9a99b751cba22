// Checks the plumbing of the test programs (one per test folder, each CTest entry a part of one):
//  - no entry is disabled (CTest would run none of it and pass);
//  - each entry runs exactly the tests its --lw-files define (by the file GoogleTest gives each
//    test as compiled, whatever macro made it), and the entries of one list of files (one per
//    CASES value) together run them all, none of them empty;
//  - every test a program holds is run by exactly one entry;
//  - every source file under the tests folder is compiled (by the build's compile database) or
//    lies under a support path given (a file dropped from its lw_test() list is not built: its
//    tests would run nowhere, unnoticed, whatever form they take), and no header there defines
//    tests;
//  - no program defines a function that one of its shared libraries defines (a stand-in would
//    replace the library for every test of the program, and for the library's other callers).
// Usage: lw_test_plumbing <ctest> <build dir> <tests source dir> [support path under tests ...].
// Exit status 0 when all hold.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace
{

using Names = std::set<QString>;

struct Entry {
    QString name, program, files, workDir;
    QStringList args, env;
    std::map<QString, QString> listed; // full names, as --gtest_list_tests gives them, and their files
    QString failure;
};

int failures = 0;

// The first faults are shown; one fault in the plumbing can make thousands.
void fail(const QString &text)
{
    if (++failures <= 40)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

QString run(const QString &program, const QStringList &args, const QStringList &env, const QString &dir,
            QString *error)
{
    QProcess p;
    if (!env.isEmpty()) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString &kv : env)
            e.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
        p.setProcessEnvironment(e);
    }
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        *error = program + u' ' + args.join(u' ') + QStringLiteral(" failed: ") +
                 QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Whether a header defines tests, by the lines that would (a header's tests run in no entry).
bool definesTests(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read ") + path);
        return false;
    }
    static const QRegularExpression test(QStringLiteral(R"(^\s*(?:TYPED_)?TEST(?:_F|_P)?\s*\()"),
                                         QRegularExpression::MultilineOption);
    return test.match(QString::fromUtf8(f.readAll())).hasMatch();
}

// Every file the build's compile database compiles, as an absolute path: the files a unity
// source includes, not the unity source.
std::set<QString> compiledFiles(const QString &build)
{
    QFile f(QDir(build).filePath(QStringLiteral("compile_commands.json")));
    std::set<QString> files;
    if (!f.open(QIODevice::ReadOnly)) {
        fail(
            QStringLiteral("cannot read %1: configure with CMAKE_EXPORT_COMPILE_COMMANDS").arg(f.fileName()));
        return files;
    }
    static const QRegularExpression unity(QStringLiteral(R"(/Unity/unity_\w+\.\w+$)"));
    static const QRegularExpression include(QStringLiteral(R"re(^\s*#\s*include\s*"([^"]+)")re"),
                                            QRegularExpression::MultilineOption);
    for (const QJsonValue &c : QJsonDocument::fromJson(f.readAll()).array()) {
        const QString file = QDir(c[u"directory"].toString()).absoluteFilePath(c[u"file"].toString());
        QFile source(file);
        if (!unity.match(file).hasMatch() || !source.open(QIODevice::ReadOnly)) {
            files.insert(QDir::cleanPath(file));
            continue;
        }
        for (const QRegularExpressionMatch &m : include.globalMatch(QString::fromUtf8(source.readAll())))
            files.insert(QDir::cleanPath(QFileInfo(file).dir().absoluteFilePath(m.captured(1))));
    }
    return files;
}

// Each test of a program's listing (with the entry's arguments) and the name of its file.
std::map<QString, QString> listTests(const QString &program, const QStringList &args, const QStringList &env,
                                     const QString &dir, QString *error)
{
    std::map<QString, QString> tests;
    QTemporaryDir out;
    const QString json = out.filePath(QStringLiteral("list.json"));
    QString failed;
    run(program,
        args +
            QStringList{QStringLiteral("--gtest_list_tests"), QStringLiteral("--gtest_output=json:") + json},
        env, dir, &failed);
    QFile f(json);
    if (!failed.isEmpty()) {
        *error = failed;
        return tests;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        *error = program + QStringLiteral(" wrote no list of its tests");
        return tests;
    }
    for (const QJsonValue &suite : QJsonDocument::fromJson(f.readAll())[u"testsuites"].toArray())
        for (const QJsonValue &test : suite[u"testsuite"].toArray())
            tests[suite[u"name"].toString() + u'.' + test[u"name"].toString()] =
                QFileInfo(test[u"file"].toString()).fileName();
    return tests;
}

// The source file of `name` for program lw_tests_<folder with "/" as "_">.
QString sourceOf(const QString &tests, const QString &program, const QString &name)
{
    const QString folder = QFileInfo(program).fileName().mid(int(qstrlen("lw_tests_")));
    QDirIterator it(tests, {name}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QDir(tests).relativeFilePath(QFileInfo(path).path()).replace(u'/', u'_') == folder)
            return path;
    }
    return {};
}

// Functions a program defines that one of its shared libraries exports too.
void checkLibraries(const QString &program, std::map<QString, Names> &libCache)
{
    QString error;
    const QString ldd = run(QStringLiteral("ldd"), {program}, {}, {}, &error);
    Names own;
    const QStringList nm = {QStringLiteral("-D"), QStringLiteral("--defined-only")};
    // Its whole symbol table too: a definition the library's callers in the program bind to at
    // link time need not be exported.
    const QString symbols =
        run(QStringLiteral("nm"), nm + QStringList{program}, {}, {}, &error) +
        run(QStringLiteral("nm"), {QStringLiteral("--defined-only"), program}, {}, {}, &error);
    if (!error.isEmpty())
        return fail(error);
    for (const QString &line : symbols.split(u'\n', Qt::SkipEmptyParts))
        if (line.section(u' ', -2, -2) == QStringLiteral("T"))
            own.insert(line.section(u' ', -1));
    static const QRegularExpression lib(QStringLiteral(R"(=>\s*(\S+)\s*\(0x)"));
    for (const QRegularExpressionMatch &m : lib.globalMatch(ldd)) {
        const QString path = m.captured(1);
        if (!libCache.count(path)) {
            Names &names = libCache[path];
            const QString out = run(QStringLiteral("nm"), nm + QStringList{path}, {}, {}, &error);
            for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
                names.insert(line.section(u' ', -1).section(u'@', 0, 0));
        }
        for (const QString &name : own)
            if (libCache[path].count(name))
                fail(QStringLiteral("%1 defines %2, which %3 defines: reach a stand-in through a seam")
                         .arg(QFileInfo(program).fileName(), name, path));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr,
                     "usage: lw_test_plumbing <ctest> <build dir> <tests source dir> [support path ...]\n");
        return 2;
    }
    const QString ctest = args[1], build = args[2], tests = QDir(args[3]).absolutePath();
    const QStringList support = args.mid(4);
    QString error;
    const QStringList show = {QStringLiteral("--show-only=json-v1"), QStringLiteral("--test-dir"), build};
    const QString json = run(ctest, show, {}, {}, &error);
    if (!error.isEmpty()) {
        fail(error);
        return 1;
    }
    QList<Entry> entries;
    Names programs;
    static const QString filesFlag = QStringLiteral("--lw-files=");
    for (const QJsonValue &t : QJsonDocument::fromJson(json.toUtf8())["tests"].toArray()) {
        for (const QJsonValue &p : t["properties"].toArray())
            if (p["name"].toString() == u"DISABLED" && p["value"].toBool())
                fail(t["name"].toString() + QStringLiteral(" is disabled: CTest runs none of it and passes"));
        const QJsonArray command = t["command"].toArray();
        if (command.isEmpty() || !QFileInfo(command[0].toString()).fileName().startsWith(u"lw_tests_"))
            continue;
        Entry e;
        e.name = t["name"].toString();
        e.program = command[0].toString();
        for (qsizetype i = 1; i < command.size(); ++i) {
            e.args.append(command[i].toString());
            if (e.args.constLast().startsWith(filesFlag))
                e.files = e.args.constLast().mid(filesFlag.size());
        }
        for (const QJsonValue &p : t["properties"].toArray()) {
            if (p["name"].toString() == u"WORKING_DIRECTORY")
                e.workDir = p["value"].toString();
            if (p["name"].toString() == u"ENVIRONMENT")
                for (const QJsonValue &kv : p["value"].toArray())
                    e.env.append(kv.toString());
        }
        programs.insert(e.program);
        entries.append(e);
    }
    if (entries.isEmpty())
        fail(QStringLiteral("no CTest entry runs a folder's test program"));

    // Each entry's own list, as it runs it; then each program's whole list.
    QThreadPool::globalInstance()->setMaxThreadCount(4);
    QtConcurrent::blockingMap(
        entries, [](Entry &e) { e.listed = listTests(e.program, e.args, e.env, e.workDir, &e.failure); });
    std::map<QString, std::map<QString, QString>> whole; // program -> test -> its file
    for (const QString &program : programs) {
        const Entry &any = *std::find_if(entries.begin(), entries.end(),
                                         [&](const Entry &e) { return e.program == program; });
        whole[program] = listTests(program, {}, any.env, any.workDir, &error);
    }
    if (!error.isEmpty())
        fail(error);

    std::map<std::pair<QString, QString>, Names> byFiles;    // (program, files) -> what their entries run
    std::map<QString, std::map<QString, QStringList>> runBy; // program -> test -> entries
    std::set<std::pair<QString, QString>> listed;            // (program, source file name)
    for (const Entry &e : entries) {
        if (!e.failure.isEmpty())
            fail(e.name + QStringLiteral(": ") + e.failure);
        else if (e.listed.empty())
            fail(e.name + QStringLiteral(" runs no test"));
        Names &mine = byFiles[{e.program, e.files}];
        for (const auto &[full, file] : e.listed) {
            mine.insert(full);
            runBy[e.program][full].append(e.name);
        }
        for (const QString &file : e.files.split(u',', Qt::SkipEmptyParts))
            listed.insert({e.program, file});
    }
    for (const auto &[key, ran] : byFiles) {
        const QStringList files = key.second.split(u',', Qt::SkipEmptyParts);
        for (const QString &file : files)
            if (sourceOf(tests, key.first, file).isEmpty())
                fail(QStringLiteral("no source file ") + file + QStringLiteral(" for ") + key.first);
        Names want;
        for (const auto &[full, file] : whole[key.first])
            if (files.contains(file))
                want.insert(full);
        for (const QString &t : want)
            if (!ran.count(t))
                fail(QStringLiteral("%1 is defined in %2 but no entry of those files runs it")
                         .arg(t, key.second));
        for (const QString &t : ran)
            if (!want.count(t))
                fail(QStringLiteral("%1 runs as an entry of %2, which do not define it").arg(t, key.second));
    }
    // A file in no entry: compiled into its program but listed nowhere, or not compiled at all.
    std::set<std::pair<QString, QString>> unlisted;
    for (const auto &[program, names] : whole)
        for (const auto &[full, file] : names)
            if (!listed.count({program, file}) && unlisted.insert({program, file}).second)
                fail(QStringLiteral(
                         "%1 of %2 defines tests but is in no entry: list it in its folder's lw_test()")
                         .arg(file, QFileInfo(program).fileName()));
    const std::set<QString> compiled = compiledFiles(build);
    static const QStringList sources = {QStringLiteral("*.c"),   QStringLiteral("*.cc"),
                                        QStringLiteral("*.cpp"), QStringLiteral("*.cxx"),
                                        QStringLiteral("*.c++"), QStringLiteral("*.C")};
    QDirIterator source(
        tests, sources + QStringList{QStringLiteral("*.h"), QStringLiteral("*.hh"), QStringLiteral("*.hpp")},
        QDir::Files, QDirIterator::Subdirectories);
    while (source.hasNext()) {
        const QString path = QDir::cleanPath(source.next()), relative = QDir(tests).relativeFilePath(path);
        if (std::any_of(support.begin(), support.end(),
                        [&](const QString &s) { return relative == s || relative.startsWith(s + u'/'); }))
            continue;
        if (QDir::match(sources, QFileInfo(path).fileName())) {
            if (!compiled.count(path))
                fail(QStringLiteral(
                         "tests/%1 is compiled into no program, so its tests run nowhere: list it in its "
                         "folder's lw_test()")
                         .arg(relative));
        } else if (definesTests(path)) {
            fail(QStringLiteral(
                     "tests/%1 is a header that defines tests, which run in no entry: move them into "
                     "a file of its folder's lw_test()")
                     .arg(relative));
        }
    }
    std::map<QString, Names> libCache;
    for (const auto &[program, names] : whole) {
        for (const auto &[t, file] : names) {
            const QStringList by = runBy[program][t];
            if (by.isEmpty())
                fail(QStringLiteral("%1 of %2 is run by no entry").arg(t, QFileInfo(program).fileName()));
            else if (by.size() > 1)
                fail(QStringLiteral("%1 of %2 is run by several entries: %3")
                         .arg(t, QFileInfo(program).fileName(), by.join(u' ')));
        }
        checkLibraries(program, libCache);
    }
    std::printf("%lld entries of %zu test programs checked: %d faults\n", qint64(entries.size()),
                programs.size(), failures);
    return failures ? 1 : 0;
}
