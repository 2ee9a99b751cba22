// LWCupsCalls::library: every request built here and sent over the connection it is given, none of
// libcups' own look-ups (they fall back to its default connection, which no stop reaches).
#include "app/cupsbackend.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <cstring>

#include <cups/cups.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

// What the scheduler answered to the last call on this thread: its IPP status (0: no answer) and
// reason.
thread_local struct {
    int status = 0;
    QByteArray reason;
} heard;

// Each call runs on a thread of its own, whose libcups settings start afresh: never ask for a
// password on a terminal nobody reads.
void begin()
{
    heard = {};
    cupsSetPasswordCB2([](const char *, http_t *, const char *, const char *, void *) -> const char * { return nullptr; },
                       nullptr);
}

// Notes the scheduler's answer `response` (null: none) to a request over `http`.
void note(http_t *http, ipp_t *response)
{
    if (response) {
        heard.status = ippGetStatusCode(response);
        ipp_attribute_t *message = ippFindAttribute(response, "status-message", IPP_TAG_TEXT);
        heard.reason = message ? ippGetString(message, 0, nullptr) : ippErrorString(ippGetStatusCode(response));
        return;
    }
    const http_status_t status = httpGetStatus(http);
    if (status >= HTTP_STATUS_MULTIPLE_CHOICES) // an HTTP refusal, such as a request too large
        heard = {IPP_STATUS_ERROR_BAD_REQUEST, httpStatus(status)};
}

QByteArray printerUri(const char *name)
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     name);
    return uri;
}

ipp_t *request(ipp_op_t operation, const char *name)
{
    ipp_t *out = ippNewRequest(operation);
    if (name)
        ippAddString(out, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(name).constData());
    ippAddString(out, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return out;
}

// Sends `out` (freed) over `http` and notes the answer: its IPP status, or -1 without one.
int ask(http_t *http, ipp_t *out, const char *resource, ipp_t **kept = nullptr)
{
    ipp_t *response = cupsDoRequest(http, out, resource);
    note(http, response);
    const int status = response ? int(ippGetStatusCode(response)) : heard.status ? heard.status : -1;
    if (kept)
        *kept = response;
    else
        ippDelete(response);
    return status;
}

// The options saved for `name` (and then its `instance`) in the system's and the user's option
// files, as libcups keeps them ("Dest name/instance option=value ..."), read without the scheduler.
void addSaved(const char *name, const char *instance, int &count, cups_option_t *&options)
{
    QStringList files;
    const QByteArray root = qgetenv("CUPS_SERVERROOT");
    files << QDir(root.isEmpty() ? QStringLiteral("/etc/cups") : QString::fromLocal8Bit(root)).filePath("lpoptions");
    if (const QByteArray home = qgetenv("HOME"); !home.isEmpty())
        files << QDir(QString::fromLocal8Bit(home)).filePath(".cups/lpoptions");
    const QByteArray base = QByteArray(name).toLower();
    for (const bool ofInstance : {false, true}) {
        if (ofInstance && !instance)
            break;
        const QByteArray wanted = ofInstance ? base + '/' + QByteArray(instance).toLower() : base;
        for (const QString &path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = file.read(1 << 20); // a sane option file is far smaller
            for (const QByteArray &line : text.split('\n')) {
                const QList<QByteArray> words = line.simplified().split(' ');
                if (words.size() < 2 || (words[0].toLower() != "dest" && words[0].toLower() != "default") ||
                    words[1].toLower() != wanted)
                    continue;
                const QByteArray rest = line.simplified().mid(words[0].size() + words[1].size() + 2);
                cups_option_t *parsed = nullptr;
                const int n = cupsParseOptions(rest.constData(), 0, &parsed);
                for (int i = 0; i < n; ++i)
                    count = cupsAddOption(parsed[i].name, parsed[i].value, count, &options);
                cupsFreeOptions(n, parsed);
            }
        }
    }
}

cups_dest_t *askedDest(http_t *http, const char *name, const char *instance)
{
    begin();
    ipp_t *out = request(IPP_OP_GET_PRINTER_ATTRIBUTES, name);
    static const char *const wanted[] = {"printer-name"};
    ippAddStrings(out, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, wanted);
    const int status = ask(http, out, "/");
    if (status < 0 || status > IPP_STATUS_OK_CONFLICTING)
        return nullptr;
    auto *dest = new cups_dest_t{};
    dest->name = qstrdup(name);
    dest->instance = instance ? qstrdup(instance) : nullptr;
    addSaved(name, instance, dest->num_options, dest->options);
    return dest;
}

void freeAskedDest(int count, cups_dest_t *dests)
{
    for (int i = 0; i < count; ++i) {
        delete[] dests[i].name;
        delete[] dests[i].instance;
        cupsFreeOptions(dests[i].num_options, dests[i].options);
    }
    delete dests;
}

int askedJob(http_t *http, const char *name, const char *title, int count, cups_option_t *options)
{
    begin();
    ipp_t *out = request(IPP_OP_CREATE_JOB, name);
    ippAddString(out, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title);
    cupsEncodeOptions2(out, count, options, IPP_TAG_OPERATION);
    cupsEncodeOptions2(out, count, options, IPP_TAG_JOB);
    ipp_t *response = nullptr;
    const int status = ask(http, out, QByteArray("/printers/").append(name).constData(), &response);
    ipp_attribute_t *id = response ? ippFindAttribute(response, "job-id", IPP_TAG_INTEGER) : nullptr;
    const int job = status >= 0 && status <= IPP_STATUS_OK_CONFLICTING && id ? ippGetInteger(id, 0) : 0;
    ippDelete(response);
    return job;
}

// The HTTP status of an answer waiting unread in the connection, or 0: a scheduler that refuses a
// document mid-way may answer and close before the write that fails.
int waitingAnswer(http_t *http)
{
    char head[128] = {};
    const ssize_t got = ::recv(httpGetFd(http), head, sizeof head - 1, MSG_PEEK | MSG_DONTWAIT);
    int code = 0;
    if (got > 12 && std::strncmp(head, "HTTP/1.", 7) == 0 && std::sscanf(head + 9, "%3d", &code) == 1)
        return code;
    return 0;
}

} // namespace

LWCupsCalls LWCupsCalls::library()
{
    return {askedDest,
            freeAskedDest,
            [] { return heard.reason.constData(); },
            [](int *cancel, int msec) {
                begin();
                return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, msec, cancel);
            },
            httpClose,
            askedJob,
            [](http_t *http, const char *name, int job, const char *title) {
                begin();
                const http_status_t status = cupsStartDocument(http, name, job, title, CUPS_FORMAT_PDF, 1);
                if (status >= HTTP_STATUS_MULTIPLE_CHOICES)
                    heard = {IPP_STATUS_ERROR_BAD_REQUEST, httpStatus(status)};
                return int(status);
            },
            [](http_t *http, const char *bytes, size_t length) {
                begin();
                http_status_t status = cupsWriteRequestData(http, bytes, length);
                if (status == HTTP_STATUS_ERROR)
                    if (const int code = waitingAnswer(http); code >= HTTP_STATUS_MULTIPLE_CHOICES)
                        status = http_status_t(code);
                if (status >= HTTP_STATUS_MULTIPLE_CHOICES)
                    heard = {IPP_STATUS_ERROR_BAD_REQUEST, httpStatus(status)};
                return int(status);
            },
            [](http_t *http, const char *name) {
                begin();
                ipp_t *response = cupsGetResponse(http, QByteArray("/printers/").append(name).constData());
                note(http, response);
                const int status = response ? int(ippGetStatusCode(response)) : heard.status ? heard.status : -1;
                ippDelete(response);
                return status;
            },
            [](http_t *http, const char *name, int job) {
                begin();
                ipp_t *out = request(IPP_OP_CANCEL_JOB, name);
                ippAddInteger(out, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
                return ask(http, out, "/jobs/");
            },
            httpSetTimeout,
            [](http_t *http) { ::shutdown(httpGetFd(http), SHUT_RDWR); },
            [] { return heard.status; },
            [](http_t *http) -> long {
                int queued = 0;
                return ::ioctl(httpGetFd(http), SIOCOUTQ, &queued) == 0 ? long(queued) : -1;
            },
            [](http_t *http) {
                begin();
                return ask(http, request(IPP_OP_CUPS_GET_DEFAULT, nullptr), "/") >= 0;
            }};
}
