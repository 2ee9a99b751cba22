#pragma once

class QHBoxLayout;
class QLayout;
class QVBoxLayout;
class QWidget;

// Box layouts without margins, `spacing` apart, and a plain widget to hold one: the pieces the
// start screen and the template browser are built from.
[[nodiscard]] QHBoxLayout *lwRow(int spacing);
[[nodiscard]] QVBoxLayout *lwStack(int spacing);
[[nodiscard]] QWidget *lwHolder(QLayout *layout);
