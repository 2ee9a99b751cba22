// The icon catalogue and the recipe of every outline, in catalogue order. Each recipe joins its
// parts strictly from left to right; a bracketed group is built apart and joined as one part.
#include "render/icons/iconrecipes.h"

#include <cmath>
#include <iterator>
#include <numbers>

namespace LWIconParts {
namespace {

double cosd(double a) { return std::cos(a * std::numbers::pi / 180); }
double sind(double a) { return std::sin(a * std::numbers::pi / 180); }

// A group built apart, from its own first part.
Builder group(const QPainterPath &first)
{
    Builder b;
    b.add(first);
    return b;
}

void phone(Builder &b)
{
    b.add(rect(29, 7, 42, 86, 10))
        .sub(rect(34.5, 17, 31, 60, 2.5))
        .sub(circle(46.4, 81.4, 7.2))
        .sub(rect(43, 11, 14, 2.6, 1.3));
}

void mail(Builder &b)
{
    b.add(rect(9, 23, 82, 56, 8)).sub(S({{15, 30}, {50, 57}, {85, 30}}, 5.5));
}

void globe(Builder &b)
{
    b.add(circle(9, 9, 82))
        .sub(circle(15.5, 15.5, 69))
        .add(group(E(50, 50, 38, 82, 0)).sub(E(50, 50, 27, 71, 0)))
        .add(rect(9, 47.2, 82, 5.6))
        .add(rect(47.2, 9, 5.6, 82))
        .add(S({{12, 31}, {88, 31}}, 4.5))
        .add(S({{12, 69}, {88, 69}}, 4.5))
        .meet(circle(9, 9, 82));
}

void pin(Builder &b)
{
    b.add(circle(22, 9, 56)).add(P({{25.8, 51}, {74.2, 51}, {50, 94}})).sub(circle(39, 26, 22));
}

void clock(Builder &b)
{
    b.add(circle(9, 9, 82))
        .sub(circle(16.5, 16.5, 67))
        .add(S({{50, 50}, {50, 23}}, 6.5))
        .add(S({{50, 50}, {69, 60}}, 6.5))
        .add(circle(43.5, 43.5, 13));
}

void calendar(Builder &b)
{
    b.add(rect(10, 17, 80, 74, 9)).sub(rect(17, 37, 66, 47, 3));
    for (double y : {41.5, 55.0, 68.5})
        for (double x : {21.0, 36.5, 52.0, 67.5})
            b.add(rect(x, y, 11, 9, 2));
    b.add(rect(26, 8, 9, 17, 4.5)).add(rect(65, 8, 9, 17, 4.5));
}

void chat(Builder &b)
{
    b.add(rect(8, 14, 84, 58, 16))
        .add(P({{24, 64}, {18, 92}, {48, 68}}))
        .sub(circle(26, 37, 12))
        .sub(circle(44, 37, 12))
        .sub(circle(62, 37, 12));
}

void person(Builder &b)
{
    b.add(circle(32, 10, 36)).add(group(rect(18, 52, 64, 60, 30)).meet(rect(0, 0, 100, 92)));
}

void starIcon(Builder &b)
{
    b.add(star(3, 6, 94, 94, 5, 38.0 / 94));
}

void heart(Builder &b)
{
    b.add(circle(10, 15, 42)).add(circle(48, 15, 42)).add(P({{11.5, 44}, {50, 32}, {88.5, 44}, {50, 89}}));
}

void check(Builder &b)
{
    b.add(circle(7, 7, 86)).sub(S({{29, 52}, {44, 67}, {72, 36}}, 9.5));
}

void plus(Builder &b)
{
    b.add(rect(37, 10, 26, 80, 7)).add(rect(10, 37, 80, 26, 7));
}

void bolt(Builder &b)
{
    b.add(P({{60, 4}, {19, 57}, {46, 57}, {37, 96}, {81, 39}, {54, 39}, {67, 4}}));
}

void shield(Builder &b)
{
    QPainterPath body;
    body.setFillRule(Qt::WindingFill);
    body.moveTo(50, 5);
    body.lineTo(87, 18);
    body.cubicTo(87, 58, 72, 82, 50, 95);
    body.cubicTo(28, 82, 13, 58, 13, 18);
    body.closeSubpath();
    b.add(body).sub(S({{33, 50}, {46, 63}, {68, 37}}, 7.5));
}

void crown(Builder &b)
{
    b.add(P({{12, 32}, {31, 55}, {50, 25}, {69, 55}, {88, 32}, {81, 74}, {19, 74}}))
        .add(rect(19, 79, 62, 11, 4))
        .add(circle(5.5, 22.5, 13))
        .add(circle(43.5, 14.5, 13))
        .add(circle(81.5, 22.5, 13));
}

void diamond(Builder &b)
{
    b.add(P({{26, 19}, {74, 19}, {93, 40}, {50, 91}, {7, 40}}))
        .sub(S({{9, 40}, {91, 40}}, 3))
        .sub(S({{27, 40}, {50, 20}, {73, 40}}, 2.6))
        .sub(S({{27, 40}, {50, 88}}, 2.6))
        .sub(S({{73, 40}, {50, 88}}, 2.6));
}

void tag(Builder &b)
{
    b.add(rect(30, 22, 62, 56, 6)).add(P({{6, 50}, {32, 22}, {32, 78}})).sub(circle(20.5, 43.5, 13));
}

void ticket(Builder &b)
{
    b.add(rect(7, 25, 86, 50, 7)).sub(circle(-3, 40, 20)).sub(circle(83, 40, 20));
    for (int k = 0; k <= 4; ++k)
        b.sub(rect(64, 29 + 9 * k, 3.2, 5, 1.6));
    b.sub(rect(21, 39, 32, 6, 3)).sub(rect(21, 52, 22, 6, 3));
}

void balloon(Builder &b)
{
    b.add(E(39, 35, 44, 54, 0))
        .add(P({{35, 61}, {43, 61}, {39, 68}}))
        .add(S({{39, 68}, {44, 79}, {37, 89}, {41, 97}}, 2.6))
        .add(group(E(71, 47, 34, 42, 0)).sub(E(39, 35, 53, 63, 0)))
        .add(P({{68, 67}, {74, 67}, {71, 72}}))
        .add(S({{71, 72}, {67, 83}, {72, 96}}, 2.6));
}

void cake(Builder &b)
{
    b.add(rect(14, 58, 72, 32, 5))
        .add(rect(22, 38, 56, 22, 5))
        .sub(rect(14, 56.5, 72, 3))
        .sub(S({{14, 74}, {86, 74}}, 3));
    for (int k = 0; k <= 2; ++k)
        b.add(rect(33.5 + 14 * k, 20, 5, 17, 2)).add(E(36 + 14 * k, 13, 7.2, 12, 0));
}

void rings(Builder &b)
{
    b.add(circle(12, 36, 50))
        .sub(circle(18.5, 42.5, 37))
        .add(group(circle(38, 36, 50)).sub(circle(44.5, 42.5, 37)))
        .add(P({{63, 12}, {72, 22}, {63, 32}, {54, 22}}))
        .add(rect(61, 31, 4, 6));
}

void leaf(Builder &b)
{
    b.add(L(14, 86, 86, 14, 30)).sub(S({{24, 76}, {68, 32}}, 3.6)).add(S({{8, 92}, {22, 78}}, 5.5));
}

void sprout(Builder &b)
{
    b.add(S({{50, 90}, {50, 50}}, 6))
        .add(L(50, 56, 14, 32, 13))
        .add(L(50, 46, 86, 16, 14))
        .add(S({{28, 91}, {72, 91}}, 6));
}

void pine(Builder &b)
{
    b.add(P({{50, 5}, {77, 37}, {65, 37}, {85, 63}, {15, 63}, {35, 37}, {23, 37}}))
        .add(rect(44, 61, 12, 24, 2))
        .add(S({{24, 90}, {76, 90}}, 5));
}

void tree(Builder &b)
{
    b.add(circle(25, 9, 50))
        .add(circle(11, 31, 38))
        .add(circle(51, 31, 38))
        .add(circle(31, 36, 38))
        .add(rect(45, 58, 10, 32, 3))
        .sub(S({{50, 70}, {38, 60}}, 3))
        .sub(S({{50, 64}, {61, 55}}, 3));
}

void flower(Builder &b)
{
    for (int k = 0; k <= 5; ++k) {
        const double a = -90 + 60 * k;
        b.add(E(50 + 24 * cosd(a), 50 + 24 * sind(a), 42, 26, a));
    }
    b.sub(circle(37, 37, 26)).add(circle(41.5, 41.5, 17));
}

void lotus(Builder &b)
{
    for (double t : {-62.0, -31.0, 0.0, 31.0, 62.0})
        b.add(E(50 + 27 * cosd(t - 90), 80 + 27 * sind(t - 90), 18, 52, t));
    b.add(S({{16, 86}, {84, 86}}, 5));
}

void sun(Builder &b)
{
    b.add(circle(29, 29, 42));
    for (int k = 0; k <= 7; ++k) {
        const double a = 45 * k;
        b.add(RR(50 + 37 * cosd(a), 50 + 37 * sind(a), 17, 7.5, a, 3.75));
    }
}

void mountain(Builder &b)
{
    b.add(P({{3, 87}, {37, 28}, {55, 58}, {67, 43}, {97, 87}}))
        .sub(S({{27, 46}, {33, 41}, {38, 47}, {45, 41}}, 3.4))
        .add(circle(68.5, 10.5, 19));
}

void drop(Builder &b)
{
    b.add(circle(23, 35, 54)).add(P({{26.4, 49}, {50, 6}, {73.6, 49}})).sub(E(38, 66, 10, 20, 25));
}

void snowflake(Builder &b)
{
    for (int k = 0; k <= 5; ++k) {
        const double a = -90 + 60 * k;
        const QPointF q(50 + 26 * cosd(a), 50 + 26 * sind(a));
        b.add(S({{50, 50}, {50 + 42 * cosd(a), 50 + 42 * sind(a)}}, 5.5))
            .add(S({q, q + 13 * QPointF(cosd(a - 45), sind(a - 45))}, 4.5))
            .add(S({q, q + 13 * QPointF(cosd(a + 45), sind(a + 45))}, 4.5));
    }
    b.add(circle(43, 43, 14));
}

void wheat(Builder &b)
{
    b.add(S({{50, 96}, {50, 16}}, 4.2)).add(E(50, 12, 12, 20, 0));
    for (double y : {31.0, 47.0, 63.0, 79.0})
        b.add(E(40, y, 12, 23, -38)).add(E(60, y, 12, 23, 38));
}

void house(Builder &b)
{
    b.add(P({{50, 9}, {93, 47}, {82, 47}, {82, 89}, {18, 89}, {18, 47}, {7, 47}}))
        .add(rect(66, 16, 10, 22))
        .sub(rect(42, 61, 16, 28, 2))
        .sub(rect(25, 55, 12, 12, 1.5));
}

void key(Builder &b)
{
    b.add(circle(8, 29, 42))
        .add(rect(46, 45, 47, 10, 2.5))
        .add(rect(78, 54, 8, 15, 1.5))
        .add(rect(65, 54, 7, 11, 1.5))
        .sub(circle(20.5, 41.5, 17));
}

void hammer(Builder &b)
{
    b.add(RR(39, 65, 12.5, 62, 45, 5)).add(RR(63, 35, 54, 19, 45, 3)).sub(RR(80, 52, 10, 8, 45));
}

void wrench(Builder &b)
{
    b.add(RR(41, 59, 13, 62, 45, 6.5))
        .add(circle(49, 9, 42))
        .sub(RR(79, 21, 28, 14, -45))
        .sub(circle(18.8, 72.8, 8.4));
}

void hardhat(Builder &b)
{
    b.add(circle(13, 26, 74))
        .meet(rect(0, 0, 100, 63))
        .add(rect(5, 60, 90, 11, 5.5))
        .sub(S({{40, 32}, {40, 56}}, 3.4))
        .sub(S({{60, 32}, {60, 56}}, 3.4));
}

void gear(Builder &b)
{
    b.add(circle(20, 20, 60));
    for (int k = 0; k <= 7; ++k) {
        const double a = 45 * k;
        b.add(RR(50 + 35 * cosd(a), 50 + 35 * sind(a), 18, 15, a, 2.5));
    }
    b.sub(circle(37.5, 37.5, 25));
}

void roller(Builder &b)
{
    b.add(rect(12, 10, 64, 26, 9))
        .add(S({{76, 23}, {89, 23}, {89, 47}, {50, 47}, {50, 58}}, 5.5))
        .add(rect(43.5, 56, 13, 37, 6));
}

void faucet(Builder &b)
{
    b.add(S({{14, 42}, {64, 42}, {76, 50}, {76, 62}}, 11))
        .add(rect(34, 22, 16, 22, 3))
        .add(rect(26, 15, 32, 9, 4.5))
        .add(circle(69, 77, 14))
        .add(P({{70, 81}, {76, 68}, {82, 81}}));
}

void car(Builder &b)
{
    b.add(rect(6, 46, 88, 26, 11))
        .add(P({{24, 48}, {35, 28}, {66, 28}, {79, 48}}))
        .sub(P({{31, 45}, {39, 33}, {49, 33}, {49, 45}}))
        .sub(P({{53, 45}, {53, 33}, {63, 33}, {71, 45}}))
        .sub(circle(15, 59, 26))
        .sub(circle(59, 59, 26))
        .add(circle(19, 63, 18))
        .add(circle(63, 63, 18))
        .sub(circle(25, 69, 6))
        .sub(circle(69, 69, 6));
}

void tire(Builder &b)
{
    b.add(circle(7, 7, 86));
    for (int k = 0; k <= 15; ++k) {
        const double a = 22.5 * k;
        b.sub(RR(50 + 42 * cosd(a), 50 + 42 * sind(a), 7, 6, a));
    }
    b.sub(circle(25, 25, 50)).add(circle(33, 33, 34)).sub(circle(44, 44, 12));
    for (int k = 0; k <= 4; ++k) {
        const double a = -90 + 72 * k;
        b.sub(circle(50 + 11 * cosd(a) - 2.4, 50 + 11 * sind(a) - 2.4, 4.8));
    }
}

void truck(Builder &b)
{
    b.add(rect(5, 22, 58, 50, 4))
        .add(P({{66, 36}, {83, 36}, {95, 53}, {95, 72}, {66, 72}}))
        .sub(P({{71, 41}, {80, 41}, {88, 53}, {71, 53}}))
        .sub(circle(13, 62, 24))
        .sub(circle(67, 62, 24))
        .add(circle(17, 66, 16))
        .add(circle(71, 66, 16));
}

void box(Builder &b)
{
    b.add(P({{50, 10}, {89, 29}, {50, 48}, {11, 29}}))
        .add(P({{11, 35}, {47, 53}, {47, 92}, {11, 73}}))
        .add(P({{53, 53}, {89, 35}, {89, 73}, {53, 92}}))
        .sub(S({{31, 20}, {69, 39}}, 4.5));
}

void scissors(Builder &b)
{
    b.add(circle(15, 61, 28))
        .sub(circle(21, 67, 16))
        .add(group(circle(57, 61, 28)).sub(circle(63, 67, 16)))
        .add(P({{37, 63}, {43, 65.5}, {71, 11}, {65, 8}}))
        .add(P({{63, 63}, {57, 65.5}, {29, 11}, {35, 8}}))
        .sub(circle(47.4, 37.4, 5.2));
}

void comb(Builder &b)
{
    b.add(rect(8, 28, 84, 17, 5));
    for (int k = 0; k <= 10; ++k)
        b.add(rect(10.5 + 7.4 * k, 43, 4.4, 31, 2.2));
}

void sparkle(Builder &b)
{
    b.add(star(5, 11, 72, 72, 4, 16.0 / 72))
        .add(star(62, 6, 30, 30, 4, 7.2 / 30))
        .add(star(68, 66, 22, 22, 4, 5.6 / 22));
}

void bubbles(Builder &b)
{
    b.add(circle(11, 33, 52))
        .sub(circle(17.5, 39.5, 39))
        .add(group(circle(58, 14, 30)).sub(circle(63, 19, 20)))
        .add(group(circle(67, 65, 20)).sub(circle(71, 69, 12)))
        .add(A(37, 59, 15, 200, 250, 4.5));
}

void forkknife(Builder &b)
{
    b.add(rect(24, 8, 4.5, 28, 2.25))
        .add(rect(32.5, 8, 4.5, 28, 2.25))
        .add(rect(41, 8, 4.5, 28, 2.25))
        .add(rect(24, 30, 21.5, 12, 6))
        .add(rect(30.5, 36, 8.5, 56, 4.25))
        .add(P({{60, 8}, {68, 8}, {73, 30}, {72, 54}, {60, 54}}))
        .add(rect(59, 50, 11, 42, 5.5));
}

void chefhat(Builder &b)
{
    b.add(circle(16, 24, 34))
        .add(circle(31, 12, 38))
        .add(circle(50, 24, 34))
        .add(rect(29, 40, 42, 24))
        .add(rect(27, 67, 46, 16, 4));
}

void cup(Builder &b)
{
    b.add(P({{17, 33}, {75, 33}, {68, 83}, {24, 83}}))
        .add(group(circle(63, 39, 28)).sub(circle(69, 45, 16)))
        .add(rect(10, 86, 78, 6, 3))
        .add(S({{36, 25}, {31, 18}, {36, 9}}, 4.2))
        .add(S({{54, 25}, {49, 18}, {54, 9}}, 4.2));
}

void cupcake(Builder &b)
{
    const QPainterPath below = rect(0, 54, 100, 50);
    b.add(P({{23, 57}, {77, 57}, {68, 91}, {32, 91}}))
        .sub(S({{41, 62}, {43, 87}}, 2.6))
        .sub(S({{59, 62}, {57, 87}}, 2.6))
        .add(group(circle(19, 33, 28)).sub(below))
        .add(group(circle(53, 33, 28)).sub(below))
        .add(group(circle(31, 19, 38)).sub(below))
        .add(circle(43, 9, 14));
}

void pizza(Builder &b)
{
    b.add(P({{15, 24}, {85, 24}, {50, 93}}))
        .add(rect(10, 13, 80, 14, 7))
        .sub(rect(13, 26, 74, 2.5))
        .sub(circle(29.5, 32.5, 13))
        .sub(circle(55.5, 31.5, 13))
        .sub(circle(44, 52, 12))
        .sub(circle(43, 73, 8));
}

void note(Builder &b)
{
    b.add(E(29, 74, 26, 19, -20))
        .add(E(69, 66, 26, 19, -20))
        .add(rect(37, 18, 6, 56))
        .add(rect(77, 10, 6, 56))
        .add(P({{37, 18}, {83, 10}, {83, 23}, {37, 31}}));
}

void headphones(Builder &b)
{
    b.add(A(50, 56, 35, 180, 360, 7.5)).add(rect(9, 50, 20, 34, 8)).add(rect(71, 50, 20, 34, 8));
}

void vinyl(Builder &b)
{
    b.add(circle(7, 7, 86))
        .sub(group(circle(14, 14, 72)).sub(circle(15.7, 15.7, 68.6)))
        .sub(group(circle(21, 21, 58)).sub(circle(22.7, 22.7, 54.6)))
        .sub(circle(34, 34, 32))
        .add(circle(38, 38, 24))
        .sub(circle(47, 47, 6))
        .sub(A(50, 50, 40, 200, 240, 2));
}

void mic(Builder &b)
{
    b.add(rect(36, 6, 28, 50, 14))
        .sub(rect(41, 22, 18, 2.6, 1.3))
        .sub(rect(41, 30, 18, 2.6, 1.3))
        .sub(rect(41, 38, 18, 2.6, 1.3))
        .add(A(50, 42, 24, 0, 180, 5.5))
        .add(rect(47, 66, 6, 18))
        .add(rect(31, 83, 38, 7, 3.5));
}

void eq(Builder &b)
{
    struct Bar { double x, y, h; };
    for (const Bar &bar : {Bar{10, 50, 42}, Bar{26.5, 20, 72}, Bar{43, 38, 54}, Bar{59.5, 6, 86}, Bar{76, 60, 32}})
        b.add(rect(bar.x, bar.y, 12, bar.h, 4));
}

void camera(Builder &b)
{
    b.add(rect(7, 27, 86, 60, 11))
        .add(rect(31, 16, 30, 16, 5))
        .sub(circle(27, 34, 46))
        .add(circle(33.5, 40.5, 33))
        .sub(circle(40, 47, 20))
        .sub(rect(74, 35, 11, 6, 3));
}

void cross(Builder &b)
{
    b.add(rect(41, 6, 18, 88, 3)).add(rect(19, 26, 62, 18, 3));
}

void church(Builder &b)
{
    b.add(P({{18, 93}, {18, 54}, {50, 32}, {82, 54}, {82, 93}}))
        .add(P({{41, 42}, {41, 24}, {50, 15}, {59, 24}, {59, 42}}))
        .add(rect(48, 1, 4, 16))
        .add(rect(43.5, 5, 13, 4))
        .sub(group(rect(41, 68, 18, 25, 9)).add(rect(41, 80, 18, 13)))
        .sub(circle(45, 47, 10));
}

QPainterPath bookPage(double spine, double edge, double control)
{
    QPainterPath p;
    p.setFillRule(Qt::WindingFill);
    p.moveTo(spine, 27);
    p.quadTo(control, 14, edge, 19);
    p.lineTo(edge, 79);
    p.quadTo(control, 72, spine, 87);
    p.closeSubpath();
    return p;
}

void book(Builder &b)
{
    b.add(bookPage(47.5, 7, 28))
        .add(bookPage(52.5, 93, 72))
        .sub(S({{16, 36}, {40, 36}}, 2.6))
        .sub(S({{60, 36}, {84, 36}}, 2.6))
        .sub(S({{16, 48}, {40, 48}}, 2.6))
        .sub(S({{60, 48}, {84, 48}}, 2.6));
}

void gradcap(Builder &b)
{
    QPainterPath cap;
    cap.setFillRule(Qt::WindingFill);
    cap.moveTo(25, 45);
    cap.lineTo(25, 64);
    cap.quadTo(50, 80, 75, 64);
    cap.lineTo(75, 45);
    cap.lineTo(50, 57);
    cap.closeSubpath();
    b.add(P({{50, 14}, {95, 34}, {50, 54}, {5, 34}}))
        .add(cap)
        .add(S({{87, 38}, {87, 64}}, 3.2))
        .add(circle(82, 63, 10));
}

void paw(Builder &b)
{
    b.add(E(50, 67, 44, 36, 0))
        .add(E(23, 44, 18, 25, -20))
        .add(E(39, 25, 18, 25, -8))
        .add(E(61, 25, 18, 25, 8))
        .add(E(77, 44, 18, 25, 20));
}

void tooth(Builder &b)
{
    b.add(circle(14, 11, 38))
        .add(circle(48, 11, 38))
        .add(rect(14, 30, 72, 22))
        .add(P({{14, 42}, {86, 42}, {79, 72}, {71, 93}, {61, 93}, {55, 63}, {45, 63}, {39, 93}, {29, 93}, {21, 72}}))
        .sub(circle(42, 2, 16));
}

void dumbbell(Builder &b)
{
    b.add(rect(20, 44.5, 60, 11, 3))
        .add(rect(6, 33, 10, 34, 3))
        .add(rect(17, 23, 13, 54, 4))
        .add(rect(70, 23, 13, 54, 4))
        .add(rect(84, 33, 10, 34, 3));
}

void laptop(Builder &b)
{
    b.add(rect(17, 15, 66, 47, 5))
        .sub(rect(23, 21, 54, 35, 1.5))
        .add(P({{5, 66}, {95, 66}, {89, 79}, {11, 79}}))
        .sub(rect(42, 67.5, 16, 3, 1.5));
}

void scales(Builder &b)
{
    const QPainterPath lower = rect(0, 56, 100, 44);
    b.add(rect(47, 18, 6, 66, 2))
        .add(rect(29, 84, 42, 8, 4))
        .add(circle(43.5, 8.5, 13))
        .add(rect(13, 23, 74, 5.5, 2.75))
        .add(S({{20, 27}, {9, 56}}, 2.6))
        .add(S({{20, 27}, {31, 56}}, 2.6))
        .add(S({{80, 27}, {69, 56}}, 2.6))
        .add(S({{80, 27}, {91, 56}}, 2.6))
        .add(group(circle(7, 43, 26)).meet(lower))
        .add(group(circle(67, 43, 26)).meet(lower));
}

void bag(Builder &b)
{
    b.add(rect(15, 33, 70, 58, 7))
        .add(A(50, 34, 17, 180, 360, 5.5))
        .sub(circle(31.8, 39.8, 6.4))
        .sub(circle(61.8, 39.8, 6.4));
}

const Row table[] = {
    {"phone", "Phone", "mobile cell call contact", phone},
    {"mail", "Email", "email envelope message letter contact", mail},
    {"globe", "Website", "web internet world site online", globe},
    {"pin", "Location", "map address place marker directions", pin},
    {"clock", "Clock", "time hours schedule watch", clock},
    {"calendar", "Calendar", "date event schedule appointment", calendar},
    {"chat", "Chat", "message talk speech bubble comment", chat},
    {"person", "Person", "user profile people contact account", person},
    {"star", "Star", "favorite rating review award", starIcon},
    {"heart", "Heart", "love like wedding favorite valentine", heart},
    {"check", "Check", "done tick ok approved verified", check},
    {"plus", "Plus", "add medical health new", plus},
    {"bolt", "Lightning", "electric power energy electrician", bolt},
    {"shield", "Shield", "security protection safe insurance guard", shield},
    {"crown", "Crown", "king queen royal premium luxury", crown},
    {"diamond", "Diamond", "gem jewel jewelry luxury", diamond},
    {"tag", "Price Tag", "sale price shop yard", tag},
    {"ticket", "Ticket", "event admission concert show pass", ticket},
    {"balloon", "Balloons", "party birthday celebration", balloon},
    {"cake", "Cake", "birthday party bakery celebration dessert", cake},
    {"rings", "Rings", "wedding marriage engagement jewelry", rings},
    {"leaf", "Leaf", "nature eco green organic garden", leaf},
    {"sprout", "Sprout", "plant growth garden seedling eco", sprout},
    {"pine", "Pine Tree", "forest christmas outdoors evergreen", pine},
    {"tree", "Tree", "nature park forest landscaping", tree},
    {"flower", "Flower", "florist garden blossom spring", flower},
    {"lotus", "Lotus", "yoga spa wellness meditation", lotus},
    {"sun", "Sun", "summer sunny weather solar", sun},
    {"mountain", "Mountains", "outdoors hiking travel nature", mountain},
    {"drop", "Water Drop", "water plumbing liquid rain", drop},
    {"snowflake", "Snowflake", "winter cold hvac", snowflake},
    {"wheat", "Wheat", "farm grain bakery harvest", wheat},
    {"house", "House", "home real estate property", house},
    {"key", "Key", "lock locksmith access property", key},
    {"hammer", "Hammer", "tools construction repair handyman", hammer},
    {"wrench", "Wrench", "tools repair mechanic plumbing", wrench},
    {"hardhat", "Hard Hat", "construction safety builder contractor", hardhat},
    {"gear", "Gear", "settings mechanical engineering service", gear},
    {"roller", "Paint Roller", "painting painter decorating", roller},
    {"faucet", "Faucet", "plumbing tap water plumber", faucet},
    {"car", "Car", "auto vehicle driving garage", car},
    {"tire", "Tire", "tyre wheel auto garage", tire},
    {"truck", "Truck", "moving delivery hauling food truck", truck},
    {"box", "Box", "package shipping parcel storage", box},
    {"scissors", "Scissors", "hair salon barber cut craft", scissors},
    {"comb", "Comb", "hair salon barber grooming", comb},
    {"sparkle", "Sparkles", "clean shine magic new", sparkle},
    {"bubbles", "Bubbles", "soap cleaning wash laundry", bubbles},
    {"forkknife", "Fork & Knife", "restaurant food dining eat menu", forkknife},
    {"chefhat", "Chef Hat", "cook chef kitchen catering", chefhat},
    {"cup", "Coffee Cup", "coffee cafe tea drink", cup},
    {"cupcake", "Cupcake", "bakery dessert sweet cake", cupcake},
    {"pizza", "Pizza", "food restaurant slice italian", pizza},
    {"note", "Music Note", "music song melody audio", note},
    {"headphones", "Headphones", "music audio listen dj", headphones},
    {"vinyl", "Record", "vinyl music dj album", vinyl},
    {"mic", "Microphone", "singing podcast karaoke audio speaker", mic},
    {"eq", "Equalizer", "audio sound dj levels", eq},
    {"camera", "Camera", "photo photography photographer picture", camera},
    {"cross", "Cross", "church faith religion christian", cross},
    {"church", "Church", "chapel faith worship religion", church},
    {"book", "Book", "reading library education school", book},
    {"gradcap", "Graduation Cap", "school education graduate college", gradcap},
    {"paw", "Paw", "pet dog cat animal veterinary", paw},
    {"tooth", "Tooth", "dentist dental teeth", tooth},
    {"dumbbell", "Dumbbell", "fitness gym workout training", dumbbell},
    {"laptop", "Laptop", "computer tech it web", laptop},
    {"scales", "Scales", "law legal justice lawyer", scales},
    {"bag", "Shopping Bag", "shop shopping store retail", bag},
};

static_assert(std::size(table) == 69);

} // namespace

std::span<const Row> rows()
{
    return table;
}

} // namespace LWIconParts
