// Checks the plumbing of the test programs (one per test folder, each CTest entry a part of one):
//  - each entry runs exactly the tests its --lw-files define (the TEST, TEST_F and TEST_P lines
//    of those files), and the entries of one list of files (one per CASES value) together run
//    them all, none of them empty;
//  - every test a program holds is run by exactly one entry;
//  - every file under the tests folder that defines tests is among the files of an entry of its
//    folder's program (a file dropped from its lw_test() list is not built: its tests would run
//    nowhere, unnoticed);
//  - no program defines a function that one of its shared libraries defines (a stand-in would
//    replace the library for every test of the program, and for the library's other callers).
// Usage: lw_test_plumbing <ctest> <build dir> <tests source dir>. Exit status 0 when all hold.
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
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace {

using Names = std::set<QString>;

struct Entry {
    QString name, program, files, workDir;
    QStringList args, env;
    Names listed; // full names, as --gtest_list_tests gives them
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

// "Suite.\n  Name  # GetParam() = ..." as full names.
Names parseList(const QString &out)
{
    Names names;
    QString suite;
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QString bare = line.section(QStringLiteral("  #"), 0, 0).trimmed();
        if (!line.startsWith(u' '))
            suite = bare;
        else
            names.insert(suite + bare);
    }
    return names;
}

// "Prefix/Suite.Name/case" as its file writes it: "Suite.Name".
QString base(const QString &full)
{
    QString suite = full.section(u'.', 0, 0), name = full.section(u'.', 1);
    return suite.section(u'/', -1) + u'.' + name.section(u'/', 0, 0);
}

// The tests the file defines, by the lines that define them.
Names defined(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read ") + path);
        return {};
    }
    static const QRegularExpression test(
        QStringLiteral(R"(^\s*TEST(?:_F|_P)?\s*\(\s*(\w+)\s*,\s*(\w+)\s*\))"),
        QRegularExpression::MultilineOption);
    Names names;
    for (const QRegularExpressionMatch &m : test.globalMatch(QString::fromUtf8(f.readAll())))
        names.insert(m.captured(1) + u'.' + m.captured(2));
    return names;
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
    const QString symbols = run(QStringLiteral("nm"), nm + QStringList{program}, {}, {}, &error) +
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
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: lw_test_plumbing <ctest> <build dir> <tests source dir>\n");
        return 2;
    }
    const QString ctest = args[1], build = args[2], tests = QDir(args[3]).absolutePath();
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
    QtConcurrent::blockingMap(entries, [](Entry &e) {
        e.listed = parseList(run(e.program, e.args + QStringList{QStringLiteral("--gtest_list_tests")}, e.env,
                                 e.workDir, &e.failure));
    });
    std::map<QString, Names> whole;
    for (const QString &program : programs) {
        const Entry &any = *std::find_if(entries.begin(), entries.end(), [&](const Entry &e) {
            return e.program == program;
        });
        whole[program] =
            parseList(run(program, {QStringLiteral("--gtest_list_tests")}, any.env, any.workDir, &error));
    }
    if (!error.isEmpty())
        fail(error);

    std::map<std::pair<QString, QString>, Names> byFiles; // (program, files) -> what their entries run
    std::map<QString, std::map<QString, QStringList>> runBy; // program -> test -> entries
    for (const Entry &e : entries) {
        if (!e.failure.isEmpty())
            fail(e.name + QStringLiteral(": ") + e.failure);
        else if (e.listed.empty())
            fail(e.name + QStringLiteral(" runs no test"));
        Names &mine = byFiles[{e.program, e.files}];
        for (const QString &full : e.listed) {
            mine.insert(base(full));
            runBy[e.program][full].append(e.name);
        }
    }
    for (const auto &[key, ran] : byFiles) {
        Names want;
        for (const QString &file : key.second.split(u',', Qt::SkipEmptyParts)) {
            const QString path = sourceOf(tests, key.first, file);
            if (path.isEmpty())
                fail(QStringLiteral("no source file ") + file + QStringLiteral(" for ") + key.first);
            else
                want.merge(defined(path));
        }
        for (const QString &t : want)
            if (!ran.count(t))
                fail(QStringLiteral("%1 is defined in %2 but no entry of those files runs it")
                         .arg(t, key.second));
        for (const QString &t : ran)
            if (!want.count(t))
                fail(QStringLiteral("%1 runs as an entry of %2, which do not define it").arg(t, key.second));
    }
    std::set<std::pair<QString, QString>> listed; // (program's file name, source file name)
    for (const Entry &e : entries)
        for (const QString &file : e.files.split(u',', Qt::SkipEmptyParts))
            listed.insert({QFileInfo(e.program).fileName(), file});
    QDirIterator source(tests, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
    while (source.hasNext()) {
        const QString path = source.next(), relative = QDir(tests).relativeFilePath(path);
        const QString program = QStringLiteral("lw_tests_") + QFileInfo(relative).path().replace(u'/', u'_');
        if (!defined(path).empty() && !listed.count({program, QFileInfo(path).fileName()}))
            fail(QStringLiteral("tests/%1 defines tests but is in no entry: list it in its folder's "
                                "lw_test()").arg(relative));
    }
    std::map<QString, Names> libCache;
    for (const auto &[program, names] : whole) {
        for (const QString &t : names) {
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
