#pragma once
#include <QList>
#include <QScrollArea>
#include <QUrl>

class LWApp;
class SegmentedPicker;
class SizeTile;
class QVBoxLayout;

// Where every design begins: blank cards (wide or tall) and flyers, a custom size, the template
// library, the open panel and the recent designs, then four numbered steps with links into help.
// Every action hands over to the app or to the recent list; a call that switches the screen may
// make the window replace this screen, so nothing of it is touched afterwards.
//
// `landscape` lives only here: every new screen starts "Wide". The recent designs are read in
// the constructor, each time the screen is shown again and after a row is removed; the first
// eight are listed.
class StartScreen : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int recentRows = 8;

    explicit StartScreen(LWApp &app, QWidget *parent = nullptr);

    bool landscape() const { return landscape_; }
    // What the Wide/Tall picker does: turns both card tiles.
    void setLandscape(bool landscape);
    const QList<QUrl> &recents() const { return recents_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *cardPanel();
    QWidget *flyerPanel();
    QWidget *templatePanel();
    QWidget *openPanel();
    QWidget *stepsPanel();
    // Reads the recent list and lists it anew.
    void readRecents();
    QWidget *recentList();

    LWApp &app_;
    bool landscape_ = true;
    QList<QUrl> recents_;
    QList<SizeTile *> cardTiles_;
    SegmentedPicker *picker_ = nullptr;
    QVBoxLayout *openColumn_ = nullptr;
    QWidget *recentList_ = nullptr;
};
