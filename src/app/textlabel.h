#pragma once
#include "kit/paint/uifont.h"

#include <QColor>
#include <QString>
#include <optional>

class QLabel;
class QWidget;

// A plain-text label in the interface font; without a colour it takes the window's text colour.
// Wrapping labels grow to as many lines as their width needs. Qt shows fractional sizes rounded
// to whole pixels.
[[nodiscard]] QLabel *lwTextLabel(const QString &text, double px, VKWeight weight = VKWeight::Normal,
                                  std::optional<QColor> colour = std::nullopt, bool wrap = false,
                                  QWidget *parent = nullptr);
