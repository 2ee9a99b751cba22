#include "shell/statusstrip.h"

#include "kit/theme/focusring.h"
#include "kit/cabinet/led.h"
#include "kit/host/kithost.h"
#include "kit/paint/paint.h"
#include "kit/theme/style.h"
#include "kit/paint/uifont.h"
#include "model/file/prefs.h"
#include "model/info.h"
#include "render/pictures/picturequeue.h"
#include "shell/shelltext.h"

#include <QHBoxLayout>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

QFont stripFont(VKWeight weight = VKWeight::Normal)
{
    return vkFont(11, weight);
}

// A plain button whose face is a lamp and a text; the whole row takes the click.
class LampButton : public QAbstractButton {
public:
    explicit LampButton(LampText *face)
    {
        auto *row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(face);
        face->setAttribute(Qt::WA_TransparentForMouseEvents);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus); // a click leaves focus with the canvas
    }
    QSize sizeHint() const override { return layout()->sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!hasFocus())
            return;
        QPainter p(this); // over the face, which lies under it
        VKFocusRing::paint(p, VKPaint::roundedRect(QRectF(rect()).adjusted(-1, 0, 1, 0), 4));
    }
};

// "by Velkmoor (VELK)" in the palette's link colour; a click opens the maker's site.
class CreditLink : public QAbstractButton {
public:
    CreditLink()
    {
        setText(LWInfo::creditLine);
        setFont(vkFont(10.5, VKWeight::Semibold));
        setCursor(Qt::PointingHandCursor);
        setToolTip(LWInfo::website().toString());
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        connect(this, &QAbstractButton::clicked, this, [] { (void)VELKKitHost::openExternal(LWInfo::website()); });
    }
    QSize sizeHint() const override
    {
        const QSizeF size = vkTextSize(font(), text());
        return QSize(static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height())));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Link));
        vkDrawText(p, QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter, text(), font());
        if (hasFocus()) { // the sheets' links: an outline
            p.setRenderHint(QPainter::Antialiasing);
            p.strokePath(VKPaint::roundedEdge(QRectF(rect()), 3, 1), QPen(VKFocusRing::colour(), 1));
        }
    }
};

} // namespace

EditorStatus::EditorStatus(LWEditor &editor, LWApp &app, Hooks hooks, QWidget *parent)
    : QWidget(parent), m_editor(&editor), m_app(app), m_hooks(std::move(hooks)),
      m_file(new VKTextLine({}, stripFont(VKWeight::Semibold), LWStyle::t().dim)),
      m_checkFace(new LampText(LWStyle::moss(), checkText(0), stripFont(VKWeight::Semibold))),
      m_message(new VKTextLine({}, stripFont(), LWStyle::amber()))
{
    if (!m_hooks.preflight)
        m_hooks.preflight = Hooks().preflight;
    if (!m_hooks.defer)
        m_hooks.defer = [this](int ms, std::function<void()> task) { QTimer::singleShot(ms, this, std::move(task)); };
    m_check = new LampButton(m_checkFace);
    m_check->setToolTip(QStringLiteral("Open Preflight"));
    m_check->setAccessibleName(QStringLiteral("Open Preflight"));
    connect(m_check, &QAbstractButton::clicked, this, [this] { m_app.setSheet(LWAppSheet::preflight); });

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    for (QWidget *w : std::initializer_list<QWidget *>{m_file, m_check, m_message})
        row->addWidget(w, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(std::max(0, m_hooks.checkDelayMs));
    connect(&m_checkTimer, &QTimer::timeout, this, &EditorStatus::runCheck);
    connect(&editor, &LWEditor::docChanged, &m_checkTimer, qOverload<>(&QTimer::start));
    // The check foresees the JPEG and PNG export as the export sheet is set.
    connect(&LWSettings::shared(), &LWSettings::changed, this, [this](const QString &key) {
        if (key == LWPrefs::exportDPIKey || key == LWPrefs::exportBleedKey)
            m_checkTimer.start();
    });
    connect(&LWPictureQueue::shared(), &LWPictureQueue::finished, this, [this] {
        if (m_checking && !m_checkTimer.isActive())
            m_checkTimer.start();
    });
    connect(&editor, &LWEditor::fileURLChanged, this, &EditorStatus::showFile);
    connect(&editor, &LWEditor::messageChanged, this, &EditorStatus::showMessage);
    showFile();
    runCheck();
    showMessage();
}

QString EditorStatus::checkText(qsizetype count, bool checking)
{
    if (count == 0 && checking)
        return QStringLiteral("Print check: checking pictures\u2026");
    if (count == 0)
        return QStringLiteral("Print check: ready");
    return QStringLiteral("Print check: %1 to review").arg(count);
}

void EditorStatus::showFile()
{
    if (!m_editor)
        return;
    const std::optional<QUrl> &url = m_editor->fileURL();
    m_file->setText(url ? url->fileName() : notSaved);
}

void EditorStatus::runCheck()
{
    if (!m_editor)
        return;
    const QList<LWExport::Issue> issues = m_hooks.preflight(m_editor->doc());
    const auto count = std::count_if(issues.begin(), issues.end(), [](const LWExport::Issue &issue) {
        return issue.level >= LWExport::Issue::Level::warning;
    });
    m_checking = LWExport::checking(issues);
    m_checkFace->label()->setText(checkText(count, m_checking));
    m_checkFace->lamp()->setColour(count > 0 ? LWStyle::amber() : m_checking ? LWStyle::t().dim : LWStyle::moss());
}

// Every write of the message announces itself, equal or not: only a different text is new.
void EditorStatus::showMessage()
{
    if (!m_editor)
        return;
    const std::optional<QString> now = m_editor->message();
    if (now && now != m_shown) {
        const quint64 generation = ++m_generation;
        m_hooks.defer(messageMs, [self = QPointer<EditorStatus>(this), generation] {
            if (self && self->m_generation == generation && self->m_editor && self->m_editor->message())
                self->m_editor->setMessage(std::nullopt);
        });
    }
    m_shown = now;
    m_message->setText(now.value_or(QString()));
    m_message->setVisible(now.has_value());
}

StatusStrip::StatusStrip(LWApp &app, EditorStatus::Hooks hooks, QWidget *parent)
    : QWidget(parent), m_app(app), m_hooks(std::move(hooks)), m_row(new QHBoxLayout(this)),
      m_tip(new VKTextLine(tip(), stripFont(), LWStyle::t().dim)),
      m_notice(new LampText(LWStyle::moss(), {}, stripFont(VKWeight::Semibold))), m_credit(new CreditLink)
{
    m_row->setContentsMargins(14, 6, 14, 6);
    m_row->setSpacing(12);
    m_row->addWidget(m_tip, 0, Qt::AlignVCenter);
    m_row->addStretch(1);
    m_row->addWidget(m_notice, 0, Qt::AlignVCenter);
    m_row->addWidget(m_credit, 0, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(&app, &LWApp::editorChanged, this, &StatusStrip::showEditor);
    connect(&app, &LWApp::noticeChanged, this, &StatusStrip::showNotice);
    showEditor();
    showNotice();
}

QString StatusStrip::tip()
{
    return QStringLiteral("Tip: start from a template or a blank size. Help \u2192 ") + LWInfo::appName +
           QStringLiteral(" Help explains every step.");
}

void StatusStrip::showEditor()
{
    LWEditor *editor = m_app.editor();
    if (m_status && m_status->editor() && m_status->editor() == editor)
        return;
    if (m_status) {
        m_row->removeWidget(m_status);
        m_status->hide();
        m_status->deleteLater();
        m_status = nullptr;
    }
    if (editor) {
        m_status = new EditorStatus(*editor, m_app, m_hooks);
        m_row->insertWidget(0, m_status, 0, Qt::AlignVCenter);
        QWidget::setTabOrder(m_status->printCheck(), m_credit); // reading order: made later, it came last
    }
    m_tip->setVisible(!editor);
}

void StatusStrip::showNotice()
{
    const std::optional<QString> &notice = m_app.notice();
    m_notice->label()->setText(notice.value_or(QString()));
    m_notice->setVisible(notice.has_value());
}

void StatusStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRectF box(rect());
    p.fillRect(box, VKPaint::vertical(box, {QColor::fromRgbF(0.16f, 0.16f, 0.16f), QColor::fromRgbF(0.08f, 0.08f, 0.08f)}));
    p.fillRect(QRectF(0, 0, box.width(), 1), QColor(255, 255, 255, 31));
}
