#pragma once
#include <QAbstractButton>

// The maker's credit: a link reading "by Velkmoor (VELK) · " and the maker's address without its
// scheme, 11 px semibold in the palette's link colour; a click opens VELKKitHost::creditURL() in
// the default browser (through QDesktopServices).
class VKLicCredit : public QAbstractButton {
    Q_OBJECT
public:
    explicit VKLicCredit(QWidget *parent = nullptr);

    // The address as the title shows it: "www.example.com" for "https://www.example.com".
    static QString plainAddress(const QUrl &url);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
