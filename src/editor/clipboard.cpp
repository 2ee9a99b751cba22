#include "editor/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

class SystemPasteboard final : public LWPasteboard {
public:
    void write(const QList<std::pair<QString, QByteArray>> &data, const std::optional<QString> &text) override
    {
        QClipboard *board = clipboard();
        if (!board)
            return;
        auto *mime = new QMimeData; // the clipboard takes it
        for (const auto &[type, bytes] : data)
            mime->setData(type, bytes);
        if (text)
            mime->setText(*text);
        board->setMimeData(mime);
    }
    void clear() override
    {
        if (QClipboard *board = clipboard())
            board->clear();
    }
    QStringList types() const override
    {
        const QMimeData *mime = contents();
        return mime ? mime->formats() : QStringList();
    }
    std::optional<QByteArray> data(const QString &type) const override
    {
        const QMimeData *mime = contents();
        if (!mime || !mime->hasFormat(type))
            return std::nullopt;
        return mime->data(type);
    }
    std::optional<QString> text() const override
    {
        const QMimeData *mime = contents();
        if (!mime || !mime->hasText())
            return std::nullopt;
        return mime->text();
    }

private:
    static QClipboard *clipboard()
    {
        return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
    }
    static const QMimeData *contents()
    {
        QClipboard *board = clipboard();
        return board ? board->mimeData() : nullptr;
    }
};

std::shared_ptr<LWPasteboard> &current()
{
    static std::shared_ptr<LWPasteboard> board;
    return board;
}

} // namespace

namespace LWClipboard {

QList<LWElement> elements;

LWPasteboard &pasteboard()
{
    std::shared_ptr<LWPasteboard> &board = current();
    if (!board)
        board = makeSystemPasteboard();
    return *board;
}

void setPasteboard(std::shared_ptr<LWPasteboard> board) { current() = std::move(board); }

std::shared_ptr<LWPasteboard> makeSystemPasteboard() { return std::make_shared<SystemPasteboard>(); }

} // namespace LWClipboard
