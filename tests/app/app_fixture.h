#pragma once
#include "app/app.h"
#include "model/file/documentio.h"
#include "model/file/prefs.h"
#include "model/testflags.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPdfDocument>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Prompts answered from a script, in order. A call the script does not expect fails the test;
// every call is recorded as its kind followed by its texts.
class ScriptedPrompts final : public LWPrompts {
public:
    struct Step {
        QString kind; // "alert", "ask", "overwrite", "open", "save", "print", "export", "confirm"
        Answer answer = Answer::cancel;
        std::optional<QUrl> url;
        std::function<bool(QPrinter &)> printer;
        std::function<void()> during; // runs while the prompt is up
    };

    static Step alertStep() { return {QStringLiteral("alert"), Answer::cancel, {}, {}, {}}; }
    static Step ask(Answer a) { return {QStringLiteral("ask"), a, {}, {}, {}}; }
    // "Save Anyway" is Answer::save, "Cancel" Answer::cancel.
    static Step overwrite(bool anyway) { return {QStringLiteral("overwrite"), anyway ? Answer::save : Answer::cancel, {}, {}, {}}; }
    static Step openStep(std::optional<QUrl> url) { return {QStringLiteral("open"), Answer::cancel, std::move(url), {}, {}}; }
    static Step saveStep(std::optional<QUrl> url) { return {QStringLiteral("save"), Answer::cancel, std::move(url), {}, {}}; }
    static Step printStep(std::function<bool(QPrinter &)> f) { return {QStringLiteral("print"), Answer::cancel, {}, std::move(f), {}}; }
    static Step exportStep(std::optional<QUrl> url, std::function<void()> during = {})
    {
        return {QStringLiteral("export"), Answer::cancel, std::move(url), {}, std::move(during)};
    }
    // The destructive action is Answer::save.
    static Step confirmStep(bool yes) { return {QStringLiteral("confirm"), yes ? Answer::save : Answer::cancel, {}, {}, {}}; }

    QList<Step> script;
    QList<QStringList> calls;

    void alert(const QString &title, const QString &message) override { next(u"alert", {title, message}); }
    Answer askToSave(const QString &question, const QString &detail) override
    {
        return next(u"ask", {question, detail}).answer;
    }
    bool askToOverwrite(const QString &question, const QString &detail) override
    {
        return next(u"overwrite", {question, detail}).answer == Answer::save;
    }
    std::optional<QUrl> chooseOpen(const QString &message) override { return next(u"open", {message}).url; }
    std::optional<QUrl> chooseSave(const QString &proposedName, const QString &message) override
    {
        return next(u"save", {proposedName, message}).url;
    }
    bool choosePrinter(QPrinter &printer, int pageCount, const QString &proposedFile) override
    {
        const Step step = next(u"print", {QString::number(pageCount), proposedFile});
        return step.printer && step.printer(printer);
    }

    std::optional<QUrl> chooseExport(const QString &proposedName, const QString &nameFilter,
                                     const QString &suffix) override
    {
        return next(u"export", {proposedName, nameFilter, suffix}).url;
    }
    bool confirm(const QString &question, const QString &detail, const QString &action) override
    {
        return next(u"confirm", {question, detail, action}).answer == Answer::save;
    }

private:
    Step next(QStringView kind, QStringList texts)
    {
        texts.prepend(kind.toString());
        calls.append(texts);
        if (script.isEmpty() || script.constFirst().kind != kind) {
            ADD_FAILURE() << "unscripted prompt: " << texts.join(u" | ").toStdString();
            return {};
        }
        Step step = script.takeFirst();
        if (step.during)
            step.during();
        return step;
    }
};

// Records print jobs; `queued` says whether the chosen printer takes PDF itself. Nothing reaches
// a real printer: the dialog starts from a PDF printer without a file, set up as `defaults` says
// (the same on every machine), and rasterised pages go, as PDF, to `paperFile` (in the test's
// folder), or are refused with `rasterRefusal`.
class FakePrintBackend final : public LWPrintBackend {
public:
    bool queued = true;
    QString refusal;
    QList<LWPrintJob> jobs;
    QString paperFile;
    QString rasterRefusal;
    QList<QList<int>> rasterised;
    QList<LWPrintOptions> rasterOptions;
    std::function<void(QPrinter &)> defaults;
    // What `answers` and `submit` (once it has recorded the job) say, given the steps they hear;
    // unset: the printing system answers, and `refusal`. Called off the interface thread.
    std::function<std::optional<QString>(const LWPrintSteps &)> answering, submitting;
    int printersMade = 0;

    std::unique_ptr<QPrinter> makePrinter() override
    {
        ++printersMade;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setDuplex(QPrinter::DuplexNone);
        printer->setColorMode(QPrinter::Color);
        printer->setPageOrder(QPrinter::FirstPageFirst);
        if (defaults)
            defaults(*printer);
        return printer;
    }
    std::optional<QString> answers(const LWPrintSteps &steps) override
    {
        return answering ? answering(steps) : QString();
    }
    std::optional<bool> hasQueue(const QString &, const LWPrintSteps &) const override { return queued; }
    std::optional<QString> submit(const LWPrintJob &job, const LWPrintSteps &steps) override
    {
        jobs.append(job);
        return submitting ? submitting(steps) : refusal;
    }
    std::optional<QString> printRaster(const QByteArray &pdf, const QList<int> &pages, QPrinter &printer,
                                       const LWPrintOptions &options, const LWPrintSteps &steps) override
    {
        rasterised.append(pages);
        rasterOptions.append(options);
        if (!rasterRefusal.isEmpty())
            return rasterRefusal;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(paperFile);
        return LWPrinting::rasterise(LWPrinting::openPdf(pdf), pages, printer, LWPrinting::maxBandBytes, steps);
    }
};

// A state under test: scripted prompts, a fake print backend, deferred tasks kept for the test
// to run, console lines collected, a throw-away settings file and folder.
class AppTest : public ::testing::Test {
protected:
    struct Deferred {
        int ms;
        std::function<void()> task;
    };

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("settings.ini"))));
        backend->paperFile = dir.filePath(QStringLiteral("paper.pdf"));
        VELKTestFlags::running = false;
        app.setPrompts(prompts);
        app.setPrintBackend(backend);
        app.setDefer([this](int ms, std::function<void()> task) { deferred.append({ms, std::move(task)}); });
        app.setConsole([this](const QString &line) { lines.append(line); });
    }
    void TearDown() override
    {
        EXPECT_TRUE(prompts->script.isEmpty()) << "prompts left unused: " << prompts->script.size();
        VELKTestFlags::running = false;
        LWPrefs::setStore(LWPrefs::makeStore(dir.filePath(QStringLiteral("spent.ini"))));
    }

    // Runs posted events and deletions (a closed sheet goes on the next turn).
    static void runPosted()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }
    static QByteArray bytes(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A design saved at `name`, open in the state, with one unsaved change.
    LWEditor *openDirty(const QString &name, const LWDocument &doc = LWDocument::blank(LWSizePreset::usCard, std::nullopt))
    {
        EXPECT_TRUE(LWDocumentIO::save(doc, url(name)).ok());
        app.open(url(name));
        return makeDirty();
    }
    // `doc` open in a new editor, the previous design dropped without a question.
    LWEditor *openNew(const LWDocument &doc)
    {
        if (app.editor())
            app.editor()->setDirty(false);
        app.newDocument(doc);
        return app.editor();
    }
    // A new design with one unsaved change, never saved.
    LWEditor *newDirty(const QString &name = QStringLiteral("Untitled"))
    {
        app.newDocument(LWDocument::blank(LWSizePreset::usCard, std::nullopt, name));
        return makeDirty();
    }
    LWEditor *makeDirty()
    {
        LWEditor *e = app.editor();
        EXPECT_NE(e, nullptr);
        if (e)
            e->change(QStringLiteral("Bleed"), std::nullopt, [](LWDocument &d) { d.bleed = 12; });
        return e;
    }

    QTemporaryDir dir;
    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
    std::shared_ptr<FakePrintBackend> backend = std::make_shared<FakePrintBackend>();
    QList<Deferred> deferred;
    QStringList lines;
    LWApp app;
};

// PDF bytes without their creation time and the file identifier made from it: the only parts
// that differ between two exports of one design.
inline QByteArray timeless(const QByteArray &pdf)
{
    static const QRegularExpression stamps(QStringLiteral("/CreationDate \\(D:[^)]*\\)|/ID \\[<[0-9a-fA-F]*> ?<[0-9a-fA-F]*>\\]"));
    return QString::fromLatin1(pdf).remove(stamps).toLatin1();
}

// Each page of a PDF as a reader draws it, one pixel a point: a file of chosen pages differs from
// their export in its bytes, not its pages.
inline QList<QImage> drawnPages(QByteArray pdf)
{
    if (pdf.isEmpty()) // no file: Qt's reader would keep what it made to try it
        return {};
    QBuffer buffer(&pdf);
    QPdfDocument reader;
    reader.load((buffer.open(QIODevice::ReadOnly), &buffer));
    QList<QImage> pages;
    for (int i = 0; i < reader.pageCount(); ++i)
        pages.append(reader.render(i, reader.pagePointSize(i).toSize()));
    return pages;
}
