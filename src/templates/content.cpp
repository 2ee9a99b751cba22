#include "templates/content.h"

namespace {

// A reserved domain, so sample addresses can never reach a real mailbox or site.
constexpr auto kDomain = "example.com";

} // namespace

QString LWContent::email() const
{
    const QString first = person.section(u' ', 0, 0, QString::SectionSkipEmpty);
    QString local;
    for (const QChar ch : first) {
        if (ch.isLetter())
            local += ch.toLower();
    }
    // A first word without letters ("123") would leave a bare "@domain".
    if (local.isEmpty())
        local = QStringLiteral("hello");
    return local + u'@' + QLatin1String(kDomain);
}

QString LWContent::web() const
{
    return QStringLiteral("www.") + QLatin1String(kDomain);
}

QString LWContent::address() const
{
    return QStringLiteral("123 Main Street, Your Town, ST 00000");
}

QString LWContent::initials() const
{
    QString out;
    const QStringList words = business.split(u' ', Qt::SkipEmptyParts);
    for (const QString &word : words) {
        if (out.size() == 2)
            break;
        if (!word.front().isLetter())
            continue;
        const QString lower = word.toLower();
        if (lower == u"and" || lower == u"of" || lower == u"the")
            continue;
        out += word.front().toUpper();
    }
    return out;
}
