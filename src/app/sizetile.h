#pragma once
#include "model/document.h"

#include <QAbstractButton>
#include <QSizeF>

class LWApp;

// The look the start screen's tiles share: a picture box over a caption (12 bold) and a detail
// line (10, dim), centred, 6 apart. The whole rectangle takes clicks; a pressed tile shows at
// 75 %. The tile keeps sideMargin on its left and right for the picture's shadow: a row that
// wants tiles g apart lays them out g - 2 * sideMargin apart.
class LWTileButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int sideMargin = 3;
    static constexpr double spacing = 6;

    QString caption() const { return caption_; }
    QString detail() const { return detail_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    // The picture box, centred at the top.
    QRectF boxRect() const;

protected:
    LWTileButton(QSizeF box, const QString &caption, const QString &detail, QWidget *parent);
    void paintEvent(QPaintEvent *event) override;
    virtual void paintBox(QPainter &painter, const QRectF &box) const = 0;

private:
    QSizeF box_;
    QString caption_;
    QString detail_;
};

// One ready-made size as a miniature page, its longer side 80, in an 84 × 84 box: white, shadowed,
// with a dashed guide 4 inside its edge. A click opens a new "Untitled" design of that size and
// orientation through the app.
class SizeTile : public LWTileButton {
    Q_OBJECT
public:
    SizeTile(LWApp &app, const LWSizePreset &preset, bool landscape, QWidget *parent = nullptr);

    // The miniature page: the preset's size, turned so that landscape means at least as wide as
    // high, scaled so that its longer side is 80.
    [[nodiscard]] static QSizeF outline(const LWSizePreset &preset, bool landscape);
    // The preset's name with " Business Card" shortened to " Card" and " Flyer" dropped.
    [[nodiscard]] static QString captionFor(const LWSizePreset &preset);
    // What a click opens.
    [[nodiscard]] static LWDocument document(const LWSizePreset &preset, bool landscape);

    const LWSizePreset &preset() const { return preset_; }
    bool landscape() const { return landscape_; }
    void setLandscape(bool landscape);
    QRectF pageRect() const;
    QRectF guideRect() const;

protected:
    void paintBox(QPainter &painter, const QRectF &box) const override;

private:
    LWSizePreset preset_;
    bool landscape_;
};

// "Custom…", "any size": a dashed 70 × 84 frame round a ruler. A click asks the app for the
// custom-size sheet.
class CustomSizeTile : public LWTileButton {
    Q_OBJECT
public:
    explicit CustomSizeTile(LWApp &app, QWidget *parent = nullptr);

protected:
    void paintBox(QPainter &painter, const QRectF &box) const override;
};
