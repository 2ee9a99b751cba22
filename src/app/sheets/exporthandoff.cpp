#include "app/sheets/exporthandoff.h"

#include "app/app.h"
#include "app/sheets/exportjob.h"
#include "app/sheets/exportsheet.h"

LWExportHandOff &LWExportHandOff::of(LWApp &app)
{
    if (auto *existing = app.findChild<LWExportHandOff *>(QString(), Qt::FindDirectChildrenOnly))
        return *existing;
    return *new LWExportHandOff(app);
}

LWExportHandOff::LWExportHandOff(LWApp &app) : QObject(&app), app_(app)
{
    connect(&app_, &LWApp::editorChanged, this, [this] {
        if (job_ && app_.editor() != editor_)
            drop();
    });
}

void LWExportHandOff::park(LWExportJob *job, LWEditor *editor)
{
    drop();
    job_ = job;
    editor_ = editor;
    job->setParent(this);
    connect(job, &LWExportJob::finished, this, [this, job](const LWExportJob::Result &result) {
        job_ = nullptr;
        job->deleteLater();
        ExportSheet::announce(app_, result);
    });
}

LWExportJob *LWExportHandOff::take(LWEditor *editor)
{
    if (!job_ || editor != editor_)
        return nullptr;
    LWExportJob *job = job_;
    job_ = nullptr;
    job->disconnect(this);
    job->setParent(nullptr);
    return job;
}

void LWExportHandOff::drop()
{
    if (job_)
        std::exchange(job_, nullptr)->release();
}
