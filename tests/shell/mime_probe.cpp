// Not a test by itself: prints, for each file name given, the MIME type this process's
// database gives it by name and whether that type is a kind of JSON, so a test can look at a
// database set up through XDG_DATA_HOME in a child process.
#include <QCoreApplication>
#include <QMimeDatabase>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QMimeDatabase db;
    for (const QString &name : app.arguments().mid(1)) {
        const QMimeType type = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        std::printf("%s %s%s\n", qPrintable(name), qPrintable(type.name()),
                    type.inherits(QStringLiteral("application/json")) ? " json" : "");
    }
    return 0;
}
