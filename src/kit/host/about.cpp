#include "kit/host/about.h"

#include "kit/host/closekeys.h"
#include "kit/views/divider.h"
#include "kit/host/kithost.h"
#include "kit/help/liccredit.h"
#include "kit/paint/paint.h"
#include "kit/theme/themeroot.h"
#include "kit/paint/uifont.h"

#include <QApplication>
#include <QBitmap>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int iconEdge = 96;

struct AboutState {
    QStringList extraLines;
    std::function<QDate()> clock;
    QPointer<QWidget> window;
    QPointer<QWidget> content;
};

AboutState &state()
{
    static AboutState s;
    return s;
}

std::optional<QString> nonEmpty(const std::optional<QString> &text)
{
    return text && !text->isEmpty() ? text : std::nullopt;
}

QLabel *label(const QString &text, const QFont &font, const QColor &colour)
{
    auto *l = new QLabel;
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    return l;
}

QWidget *makeWindow()
{
    auto *window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setFixedSize(440, 380);
    VKCloseKeys::install(window); // it has no Close button
    auto *layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    return window;
}

} // namespace

namespace VELKAbout {

const QStringList &extraLines() { return state().extraLines; }

void setExtraLines(const QStringList &lines) { state().extraLines = lines; }

QString version()
{
    const VELKKitHost::BundleInfo &bundle = VELKKitHost::bundleInfo();
    QString out = QStringLiteral("Version ") + nonEmpty(bundle.shortVersion).value_or(QStringLiteral("1.0"));
    if (const auto build = nonEmpty(bundle.build))
        out += QStringLiteral(" (") + *build + u')';
    return out;
}

QString copyrightLine()
{
    const QDate today = state().clock ? state().clock() : QDate::currentDate();
    return QStringLiteral("\u00A9 ") + QString::number(today.year()) + u' ' + VELKKitHost::creditName;
}

void setClock(std::function<QDate()> clock) { state().clock = std::move(clock); }

void show()
{
    AboutState &s = state();
    if (!s.window)
        s.window = makeWindow();
    s.window->setWindowTitle(QStringLiteral("About ") + VELKKitHost::appName());
    if (s.content) {
        s.content->hide();
        s.content->deleteLater();
    }
    s.content = new VELKThemeRoot([] { return new VELKAboutView; });
    s.window->layout()->addWidget(s.content);
    s.window->show();
    s.window->raise();
    s.window->activateWindow();
}

QWidget *window() { return state().window; }

} // namespace VELKAbout

VELKAboutView::VELKAboutView(QWidget *parent) : QWidget(parent)
{
    const VKKitTheme theme = VELKKitHost::theme();
    setMinimumSize(400, 340);
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(26, 26, 26, 26);
    stack->setSpacing(12);
    const auto centred = [stack](QWidget *w) { stack->addWidget(w, 0, Qt::AlignHCenter); };

    stack->addStretch();
    icon_ = new QWidget;
    icon_->setFixedSize(iconEdge, iconEdge);
    centred(icon_);
    centred(label(VELKKitHost::appName(), vkFont(24, VKWeight::Heavy), theme.text));
    version_ = label(VELKAbout::version(), vkFont(12, VKWeight::Semibold), theme.dim);
    centred(version_);
    for (const QString &line : VELKAbout::extraLines()) {
        extras_.append(label(line, vkFont(12), theme.dim));
        centred(extras_.last());
    }
    divider_ = new VKDivider(30);
    stack->addWidget(divider_);
    centred(label(VELKAbout::creditLine, vkFont(13, VKWeight::Bold), theme.text));
    link_ = new VKLicCredit;
    link_->setText(VKLicCredit::plainAddress(VELKKitHost::creditURL()));
    link_->setFont(vkFont(13, VKWeight::Semibold));
    centred(link_);
    centred(label(VELKAbout::copyrightLine(), vkFont(10.5), theme.dim));
    stack->addStretch();
}

void VELKAboutView::paintEvent(QPaintEvent *)
{
    const QIcon appIcon = QApplication::windowIcon();
    if (appIcon.isNull())
        return;
    const QRectF slot(icon_->geometry());
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap pixmap = appIcon.pixmap(QSize(iconEdge, iconEdge), devicePixelRatioF());
    // The shadow follows the icon's own outline, taken from its alpha at interface size.
    const QImage alpha = appIcon.pixmap(QSize(iconEdge, iconEdge), 1.0)
                             .toImage()
                             .scaled(iconEdge, iconEdge)
                             .createAlphaMask();
    QPainterPath shape;
    shape.addRegion(QRegion(QBitmap::fromImage(alpha)));
    VKPaint::drawShadow(p, shape.translated(slot.topLeft()), QColor(0, 0, 0, 128), 8, QPointF(0, 4));
    p.drawPixmap(slot, pixmap, QRectF(pixmap.rect()));
}
