#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// "--lw-files=a.cpp,b.cpp" (CTest gives each former program's files so): only the tests defined
// in those files run. Taken out of the arguments before Qt and GoogleTest read them.
std::set<QString> takeFiles(int &argc, char **argv)
{
    static const QByteArray flag = "--lw-files=";
    std::set<QString> files;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (i > 0 && arg.startsWith(flag)) {
            const QString names = QString::fromUtf8(arg.mid(flag.size()));
            for (const QString &f : names.split(QLatin1Char(','), Qt::SkipEmptyParts))
                files.insert(f);
            continue;
        }
        argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return files;
}

// Narrows the filter to the tests of `files`: their names when nothing else filters (the shorter
// list), else the other tests' names as exclusions beside the given filter. False when those files
// hold no test (a misspelt name would otherwise pass having run nothing).
bool keepOnly(const std::set<QString> &files)
{
    std::string mine, others;
    const ::testing::UnitTest &unit = *::testing::UnitTest::GetInstance();
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
        const ::testing::TestSuite &suite = *unit.GetTestSuite(i);
        for (int j = 0; j < suite.total_test_count(); ++j) {
            const ::testing::TestInfo &test = *suite.GetTestInfo(j);
            const QString file = QFileInfo(QString::fromUtf8(test.file())).fileName();
            std::string &list = files.count(file) ? mine : others;
            list += (list.empty() ? "" : ":") + std::string(suite.name()) + '.' + test.name();
        }
    }
    if (mine.empty())
        return false;
    std::string filter = GTEST_FLAG_GET(filter);
    if (filter == "*")
        filter = mine;
    else if (!others.empty())
        filter += (filter.find('-') == std::string::npos ? "-" : ":") + others;
    GTEST_FLAG_SET(filter, filter);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every setting written during the run (ours, and Qt's own, such as the file dialog's
    // history) lands in a folder of the run's own, never in the user's configuration.
    const QTemporaryDir config;
    if (!config.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const std::set<QString> files = takeFiles(argc, argv);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    if (!files.empty() && !keepOnly(files)) {
        std::fprintf(stderr, "No tests are defined in the files given by --lw-files.\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
