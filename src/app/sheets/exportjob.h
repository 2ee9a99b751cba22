#pragma once
#include "model/document.h"
#include "model/file/fileaccess.h"
#include "render/picturetally.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

// One export of the export sheet, made on a thread of its own from a copy of the design taken
// when the user asked for it: the print PDF or the 10-up card sheet (one file), or JPEG or PNG
// pages (one file each, in order; a page too large to draw is skipped). Progress and the end are
// signalled on the thread that made the job. cancel() stops it at the next band or page; end()
// also waits for its thread, as deleting the job does. All files or none: each is made in full
// in a temporary beside it, and only when all are complete are they put in place together, a
// short last step that cancel() no longer stops. Stopped or failed before it or in it, no file
// is written, no temporary remains and every earlier file of those names stays. The files must
// be distinct. An export that cannot draw its pages says why. A PDF or card sheet asked for
// without a file is kept in the result instead (for printing), with its page count as read back.
class LWExportJob : public QObject {
    Q_OBJECT
public:
    enum class Kind { pdf, sheet, jpeg, png };
    struct Request {
        LWDocument doc;
        Kind kind = Kind::pdf;
        QList<int> pages;
        QStringList files; // one for a PDF (none: kept in the result), one per page for JPEG and PNG
        int dpi = 300;
        bool bleed = true;
        double quality = 0.92;
    };
    struct Result {
        QStringList written;
        QString failedFile, reason; // the file that couldn't be saved and why (a clause)
        // Why the pages couldn't be drawn (out of memory, a picture too large, a text too long):
        // a sentence. No file was written then.
        QString drawFailure;
        // Of the files written, the pictures not drawn whole (placeholder art, or only in part).
        QList<LWPictureTally::Undrawn> undrawn;
        // A PDF or card sheet made without a file, and its pages as a PDF reader counts them (0:
        // the bytes do not read).
        QByteArray pdf;
        int pageCount = 0;
        // Of an export of several files that failed: every earlier file was left as it was.
        bool unchanged = false;
        bool nothingDrawn = false;
        bool cancelled = false;
    };

    explicit LWExportJob(Request request, QObject *parent = nullptr);
    ~LWExportJob() override; // end()

    // Once; finished() follows on a later turn of the event loop.
    void start();
    void cancel();
    // Cancels and waits until the thread has ended; finished() is then not signalled.
    void end();
    // Cancels without waiting: the job leaves its parent, signals nothing more and deletes itself
    // once its thread has ended, at the latest when the application is about to quit.
    void release();
    // Whether a released job's thread is still ending.
    static bool anyEnding();

    // For tests: how each file of jobs started later is replaced (a named temporary, faults).
    static void setProbe(LWFileAccess::ReplaceProbe probe);

Q_SIGNALS:
    // The file being made (from 0) of `files`, and how much of it is done (0...1): its bands or,
    // for a PDF, its pages drawn.
    void progressed(int file, int files, double done);
    void finished(const LWExportJob::Result &result);

private:
    struct Shared;
    void report();

    Request request_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    bool ended_ = false;
    bool released_ = false;
};
