#pragma once
#include "kit/paint/paint.h"

#include <QAbstractButton>

// The kit's text button: a grey (or, prominent, accent) capsule with a chrome edge and a soft
// drop shadow, an optional symbol 5 px before the title. Regular: 12.5 px bold, padding 16 × 8;
// compact: 11 px bold, padding 12 × 5. Pressed, the whole button shows at 75 % opacity; disabled,
// at VKPaint::disabledOpacity, and it ignores clicks. No hover look; with the keyboard it shows the
// kit's focus ring around the capsule.
//
// The widget keeps shadowMargins() outside the capsule, counted in sizeHint(); only the capsule
// takes clicks. Titles follow QAbstractButton's rules: "&" marks a mnemonic, "&&" shows one "&"
// (pass run-time titles through vkPlain).
class VKChromeButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit VKChromeButton(const QString &title = {}, QWidget *parent = nullptr);

    bool isProminent() const { return prominent_; }
    void setProminent(bool prominent);
    bool isCompact() const { return compact_; }
    void setCompact(bool compact);
    // A symbol name of VKSymbols, or empty for none.
    QString symbol() const { return symbol_; }
    void setSymbol(const QString &name);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static QMargins shadowMargins();
    // The capsule: the widget less its shadow margins.
    QRectF capsuleRect() const;
    QFont labelFont() const;
    // The title as shown: mnemonic marks removed, "&&" as "&".
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    void changed();
    void render(QPainter &p) const;

    bool prominent_ = false;
    bool compact_ = false;
    QString symbol_;
    VKPaint::Layer layer_;
};
