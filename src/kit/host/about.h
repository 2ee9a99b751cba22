#pragma once
#include "model/info.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

class QLabel;
class VKDivider;
class VKLicCredit;

// The about box's texts and its one window. Main thread only.
namespace VELKAbout {
// Lines under the version, set by the host at start-up; read each time the box is shown.
const QStringList &extraLines();
void setExtraLines(const QStringList &lines);

// "Version <short>" with " (<build>)" when the bundle has a build number; the short version is
// "1.0" when the bundle has none. Empty texts count as absent.
QString version();

inline const QString creditLine = LWInfo::creditLine;

// "© <year> Velkmoor" for the clock's date, read on every call.
QString copyrightLine();
// The date the copyright line is read from; an empty clock restores the local date.
void setClock(std::function<QDate()> clock);

// Titles the window "About <app name>", gives it fresh content and brings it to the front. Made
// and centred on the first call, kept for the life of the process, hidden when closed; it stays
// where it was left. The platform may ignore position and activation.
void show();
// The window, or nothing before the first show().
QWidget *window();
} // namespace VELKAbout

// The about box's content: icon, name, version, extra lines, divider, credit, link, copyright,
// centred 12 apart within 26 of padding. Reads the theme and texts when made.
class VELKAboutView : public QWidget {
    Q_OBJECT
public:
    explicit VELKAboutView(QWidget *parent = nullptr);

    QWidget *iconSlot() const { return icon_; }
    QLabel *versionLabel() const { return version_; }
    QList<QLabel *> extraLabels() const { return extras_; }
    VKDivider *divider() const { return divider_; }
    VKLicCredit *link() const { return link_; }

protected:
    // The icon with its shadow, drawn here so the shadow may spread beyond the slot.
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *icon_;
    QLabel *version_;
    QList<QLabel *> extras_;
    VKDivider *divider_;
    VKLicCredit *link_;
};
