#include "icondrawing.h"

#include "quiettiffhandlers.h"

#include "app/constants.h"

#include <qrencode.h>
#include <tiffio.h>

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTransform>
#include <QtMath>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace IconDrawing {

namespace {

const QColor kInk(0x33, 0x3d, 0x47);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kBlue(0x2f, 0x80, 0xc8);
const QColor kRed(0xd9, 0x45, 0x3b);
const QColor kGreen(0x3a, 0x9b, 0x4f);
const QColor kAmber(0xe8, 0xa3, 0x3a);
const QColor kLightGrey(0xd5, 0xda, 0xdf);

QPen Stroke(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Page(QPainter &p, const QRectF &r)
{
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(r);
}

// A filled head whose tip lies at tip, pointing along direction (any length).
void ArrowHead(QPainter &p, const QPointF &tip, QPointF direction, const QColor &colour, qreal size = 4.0)
{
    const qreal length = qSqrt(direction.x() * direction.x() + direction.y() * direction.y());
    direction /= length;
    const QPointF normal(-direction.y(), direction.x());
    const QPointF base = tip - direction * size;
    const QPointF head[3] = {tip, base + normal * (size * 0.6), base - normal * (size * 0.6)};
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head, 3);
}

void Arrow(QPainter &p, const QPointF &from, const QPointF &to, const QColor &colour, qreal width = 1.8)
{
    const QPointF direction = to - from;
    const qreal length = qSqrt(direction.x() * direction.x() + direction.y() * direction.y());
    p.setPen(Stroke(colour, width));
    p.drawLine(from, to - direction / length * 3.0);
    ArrowHead(p, to, direction, colour);
}

// An elliptic arc from startAngle over sweep degrees (Qt's angles: counter-clockwise, 0 at three o'clock) with a
// head at its end.
void CurvedArrow(QPainter &p, const QRectF &ellipse, qreal startAngle, qreal sweep, const QColor &colour)
{
    QPainterPath path;
    path.arcMoveTo(ellipse, startAngle);
    path.arcTo(ellipse, startAngle, sweep);
    p.setPen(Stroke(colour, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    const qreal end = qDegreesToRadians(startAngle + sweep);
    const qreal rx = ellipse.width() / 2.0;
    const qreal ry = ellipse.height() / 2.0;
    const QPointF point(ellipse.center().x() + rx * qCos(end), ellipse.center().y() - ry * qSin(end));
    QPointF tangent(-rx * qSin(end), -ry * qCos(end));
    if (sweep < 0)
        tangent = -tangent;
    ArrowHead(p, point + tangent / qSqrt(rx * ry) * 2.0, tangent, colour, 5.0);
}

void DashedLine(QPainter &p, const QPointF &from, const QPointF &to, const QColor &colour)
{
    QPen pen(colour, 1.2, Qt::DashLine, Qt::FlatCap);
    pen.setDashPattern({2.0, 1.5});
    p.setPen(pen);
    p.drawLine(from, to);
}

void Letters(QPainter &p, const QColor &colour)
{
    p.setPen(Stroke(colour, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(6.5, 7.0), QPointF(6.5, 17.0));
    p.drawLine(QPointF(4.5, 7.0), QPointF(8.5, 7.0));
    p.drawLine(QPointF(4.5, 17.0), QPointF(8.5, 17.0));
    QPainterPath d;
    d.moveTo(11.5, 7.0);
    d.lineTo(14.0, 7.0);
    d.arcTo(QRectF(9.0, 7.0, 10.0, 10.0), 90.0, -180.0);
    d.lineTo(11.5, 17.0);
    d.closeSubpath();
    p.drawPath(d);
}

void DrawId(QPainter &p)
{
    Letters(p, kBlue);
}

// Identifiers assigned along a column: numbered cells and the direction of counting.
void DrawLengthId(QPainter &p)
{
    const QColor fills[3] = {kBlue.lighter(170), kBlue.lighter(130), kBlue};
    for (int i = 0; i < 3; ++i) {
        p.setPen(Stroke(kInk, 1.2));
        p.setBrush(fills[i]);
        p.drawRect(QRectF(3.5, 2.5 + i * 7.0, 7.0, 5.0));
    }
    Arrow(p, QPointF(16.5, 3.0), QPointF(16.5, 21.5), kInk, 2.0);
}

void DrawRotate(QPainter &p)
{
    Page(p, QRectF(3.5, 9.5, 10.0, 12.0));
    CurvedArrow(p, QRectF(8.0, 2.5, 12.0, 12.0), 160.0, -200.0, kBlue);
}

void DrawCopy(QPainter &p)
{
    Page(p, QRectF(3.5, 2.5, 11.0, 13.0));
    Page(p, QRectF(9.5, 8.5, 11.0, 13.0));
    p.setPen(Stroke(kBlue, 1.2));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(12.0, 12.0 + i * 3.0), QPointF(18.0, 12.0 + i * 3.0));
}

void DrawPaste(QPainter &p)
{
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kAmber);
    p.drawRoundedRect(QRectF(3.5, 3.5, 13.0, 18.0), 1.5, 1.5);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(7.0, 1.5, 6.0, 4.0), 1.0, 1.0);
    Page(p, QRectF(10.5, 9.5, 10.0, 12.0));
    p.setPen(Stroke(kBlue, 1.2));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(12.5, 13.0 + i * 2.8), QPointF(18.5, 13.0 + i * 2.8));
}

// A page flipped top to bottom: the mirror line and arrows away from it.
void DrawFlipUpDown(QPainter &p)
{
    Page(p, QRectF(4.5, 2.5, 15.0, 19.0));
    DashedLine(p, QPointF(5.5, 12.0), QPointF(18.5, 12.0), kRed);
    Arrow(p, QPointF(12.0, 10.0), QPointF(12.0, 4.0), kBlue);
    Arrow(p, QPointF(12.0, 14.0), QPointF(12.0, 20.0), kBlue);
}

void DrawFlipLeftRight(QPainter &p)
{
    Page(p, QRectF(2.5, 4.5, 19.0, 15.0));
    DashedLine(p, QPointF(12.0, 5.5), QPointF(12.0, 18.5), kRed);
    Arrow(p, QPointF(10.0, 12.0), QPointF(4.0, 12.0), kBlue);
    Arrow(p, QPointF(14.0, 12.0), QPointF(20.0, 12.0), kBlue);
}

// Rows and columns exchanged: the first row and the first column marked, an arrow between them.
void DrawExchangeRowColumn(QPainter &p)
{
    Page(p, QRectF(2.5, 2.5, 19.0, 19.0));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    for (int c = 1; c < 4; ++c)
        p.drawRect(QRectF(3.5 + c * 4.5, 3.5, 3.5, 3.5));
    p.setBrush(kGreen);
    for (int r = 1; r < 4; ++r)
        p.drawRect(QRectF(3.5, 3.5 + r * 4.5, 3.5, 3.5));
    p.setBrush(kInk);
    p.drawRect(QRectF(3.5, 3.5, 3.5, 3.5));
    Arrow(p, QPointF(11.0, 11.0), QPointF(19.5, 19.5), kInk, 1.6);
    ArrowHead(p, QPointF(9.5, 9.5), QPointF(-1.0, -1.0), kInk);
}

void DrawUndo(QPainter &p)
{
    CurvedArrow(p, QRectF(5.0, 6.0, 14.0, 12.0), -60.0, 210.0, kBlue);
}

void DrawColour(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setCompositionMode(QPainter::CompositionMode_Multiply);
    const QColor inks[3] = {QColor(0x00, 0xae, 0xef), QColor(0xec, 0x00, 0x8c), QColor(0xff, 0xf1, 0x00)};
    const QPointF centres[3] = {QPointF(8.5, 9.0), QPointF(15.5, 9.0), QPointF(12.0, 15.0)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(inks[i]);
        p.drawEllipse(centres[i], 6.0, 6.0);
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Magnifier(QPainter &p, bool plus)
{
    p.setPen(Stroke(kInk, 3.5));
    p.drawLine(QPointF(15.0, 15.0), QPointF(20.5, 20.5));
    p.setPen(Stroke(kInk, 2.0));
    p.setBrush(kPaper);
    p.drawEllipse(QPointF(10.0, 10.0), 6.5, 6.5);
    p.setPen(Stroke(kBlue, 2.0));
    p.drawLine(QPointF(7.0, 10.0), QPointF(13.0, 10.0));
    if (plus)
        p.drawLine(QPointF(10.0, 7.0), QPointF(10.0, 13.0));
}

void DrawBin(QPainter &p)
{
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(9.5, 2.5, 5.0, 3.0), 1.0, 1.0);
    p.setPen(Stroke(kInk, 2.0));
    p.drawLine(QPointF(4.5, 6.0), QPointF(19.5, 6.0));
    QPainterPath body;
    body.moveTo(6.0, 8.0);
    body.lineTo(18.0, 8.0);
    body.lineTo(16.8, 21.5);
    body.lineTo(7.2, 21.5);
    body.closeSubpath();
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kLightGrey);
    p.drawPath(body);
    p.setPen(Stroke(kRed, 1.4));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(9.5 + i * 2.5, 10.5), QPointF(9.5 + i * 2.5, 19.0));
}

// ---- Main window icons ---------------------------------------------------------------------------------------

// A sheet with its top right corner folded down.
void FoldedPage(QPainter &p, const QRectF &r, qreal fold)
{
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(kLightGrey);
    p.drawPath(corner);
}

// A round badge in the lower right corner that marks what is done to the picture under it.
void Badge(QPainter &p, const QPointF &centre, qreal radius, const QColor &colour)
{
    p.setPen(Stroke(kPaper, 1.5));
    p.setBrush(colour);
    p.drawEllipse(centre, radius, radius);
}

// A toothed wheel: the mark shared by the settings icons.
void Gear(QPainter &p, const QPointF &centre, qreal radius)
{
    constexpr int kTeeth = 8;
    QPainterPath wheel;
    wheel.addEllipse(centre, radius * 0.74, radius * 0.74);
    for (int i = 0; i < kTeeth; ++i) {
        QPainterPath tooth;
        tooth.addRect(QRectF(-radius * 0.2, -radius, radius * 0.4, radius * 0.5));
        QTransform turn;
        turn.translate(centre.x(), centre.y());
        turn.rotate(i * 360.0 / kTeeth);
        wheel = wheel.united(turn.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(centre, radius * 0.3, radius * 0.3);
    wheel = wheel.subtracted(hole);
    p.setPen(Stroke(kPaper, 1.2));
    p.setBrush(kInk);
    p.drawPath(wheel);
}

void DrawNew(QPainter &p)
{
    FoldedPage(p, QRectF(4.5, 2.5, 13.0, 18.0), 4.5);
    Badge(p, QPointF(17.0, 17.0), 5.8, kGreen);
    p.setPen(Stroke(kPaper, 2.0));
    p.drawLine(QPointF(17.0, 14.0), QPointF(17.0, 20.0));
    p.drawLine(QPointF(14.0, 17.0), QPointF(20.0, 17.0));
}

void DrawOpen(QPainter &p)
{
    QPainterPath back;
    back.moveTo(2.5, 4.5);
    back.lineTo(8.5, 4.5);
    back.lineTo(10.5, 6.5);
    back.lineTo(19.5, 6.5);
    back.lineTo(19.5, 19.5);
    back.lineTo(2.5, 19.5);
    back.closeSubpath();
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kAmber.darker(125));
    p.drawPath(back);
    // The front flap leans back, the folder stands open.
    QPainterPath front;
    front.moveTo(6.0, 10.5);
    front.lineTo(22.5, 10.5);
    front.lineTo(19.5, 19.5);
    front.lineTo(2.5, 19.5);
    front.closeSubpath();
    p.setBrush(kAmber);
    p.drawPath(front);
}

void DrawSave(QPainter &p)
{
    QPainterPath disk;
    disk.moveTo(3.5, 3.5);
    disk.lineTo(17.5, 3.5);
    disk.lineTo(20.5, 6.5);
    disk.lineTo(20.5, 20.5);
    disk.lineTo(3.5, 20.5);
    disk.closeSubpath();
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kBlue);
    p.drawPath(disk);
    // Shutter with its window, and the label.
    p.setBrush(kLightGrey);
    p.drawRect(QRectF(7.5, 3.5, 9.0, 6.0));
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRect(QRectF(13.0, 4.8, 2.2, 3.4));
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(6.5, 13.0, 11.0, 7.5));
    p.setPen(Stroke(kBlue, 1.0));
    p.drawLine(QPointF(8.5, 15.5), QPointF(15.5, 15.5));
    p.drawLine(QPointF(8.5, 18.0), QPointF(15.5, 18.0));
}

// The measurement options: a few colour patches and the settings wheel.
void DrawSettingMeasure(QPainter &p)
{
    const QColor inks[4] = {QColor(0x00, 0xae, 0xef), QColor(0xec, 0x00, 0x8c), QColor(0xff, 0xd8, 0x00), kInk};
    p.setPen(Stroke(kInk, 1.0));
    for (int i = 0; i < 4; ++i) {
        p.setBrush(inks[i]);
        p.drawRect(QRectF(2.5 + (i % 2) * 7.0, 2.5 + (i / 2) * 7.0, 6.0, 6.0));
    }
    Gear(p, QPointF(16.0, 16.0), 7.5);
}

// The environment: three sliders.
void DrawSettingEnviron(QPainter &p)
{
    const qreal knobs[3] = {8.0, 16.0, 11.0};
    for (int i = 0; i < 3; ++i) {
        const qreal y = 5.0 + i * 7.0;
        p.setPen(Stroke(kInk, 2.0));
        p.drawLine(QPointF(3.0, y), QPointF(21.0, y));
        p.setPen(Stroke(kInk, 1.2));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(knobs[i] - 2.5, y - 3.5, 5.0, 7.0), 1.2, 1.2);
    }
}

// A plug on its cable, pointing right; the prongs end at tipX.
void Plug(QPainter &p, qreal tipX, qreal y, const QColor &body, bool facingRight)
{
    const qreal s = facingRight ? 1.0 : -1.0;
    p.setPen(Stroke(kInk, 2.0));
    p.drawLine(QPointF(tipX - s * 9.5, y), QPointF(tipX - s * 14.0, y));
    p.setPen(Stroke(kInk, 1.6));
    p.drawLine(QPointF(tipX, y - 2.5), QPointF(tipX - s * 3.5, y - 2.5));
    p.drawLine(QPointF(tipX, y + 2.5), QPointF(tipX - s * 3.5, y + 2.5));
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(facingRight ? tipX - 9.5 : tipX + 3.5, y - 4.5, 6.0, 9.0), 1.2, 1.2);
}

// A socket on its cable, open to the left at mouthX.
void Socket(QPainter &p, qreal mouthX, qreal y, const QColor &body)
{
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(mouthX, y - 4.5, 6.0, 9.0), 1.2, 1.2);
    p.setPen(Stroke(kInk, 2.0));
    p.drawLine(QPointF(mouthX + 6.0, y), QPointF(mouthX + 10.5, y));
}

void DrawSettingConnect(QPainter &p)
{
    Plug(p, 13.0, 6.5, kBlue, true);
    Gear(p, QPointF(16.5, 16.5), 7.0);
}

void DrawSettingNetwork(QPainter &p)
{
    const QPointF hub(12.0, 12.5);
    const QPointF ends[3] = {QPointF(12.0, 4.0), QPointF(4.5, 19.5), QPointF(19.5, 19.5)};
    p.setPen(Stroke(kInk, 1.6));
    for (const QPointF &end : ends)
        p.drawLine(hub, end);
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kBlue);
    for (const QPointF &end : ends)
        p.drawEllipse(end, 3.2, 3.2);
    p.setBrush(kGreen);
    p.drawEllipse(hub, 3.6, 3.6);
}

// The user illuminant: a glowing bulb.
void DrawIlluminant(QPainter &p)
{
    p.setPen(Stroke(kAmber, 1.5));
    const qreal rays[5] = {150.0, 120.0, 90.0, 60.0, 30.0};
    for (qreal degrees : rays) {
        const qreal a = qDegreesToRadians(degrees);
        const QPointF direction(qCos(a), -qSin(a));
        p.drawLine(QPointF(12.0, 9.5) + direction * 8.5, QPointF(12.0, 9.5) + direction * 11.0);
    }
    QPainterPath glass;
    glass.moveTo(9.5, 16.0);
    glass.arcTo(QRectF(6.0, 3.5, 12.0, 12.0), 235.0, -290.0);
    glass.lineTo(14.5, 16.0);
    glass.closeSubpath();
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(QColor(0xff, 0xe0, 0x4d));
    p.drawPath(glass);
    p.setBrush(kLightGrey);
    p.drawRoundedRect(QRectF(9.0, 16.5, 6.0, 4.5), 1.0, 1.0);
    p.drawLine(QPointF(9.0, 18.7), QPointF(15.0, 18.7));
    p.setPen(Stroke(kInk, 1.6));
    p.drawLine(QPointF(11.0, 22.3), QPointF(13.0, 22.3));
}

// Connect: the plug goes into its socket.
void DrawConnect(QPainter &p)
{
    Socket(p, 13.0, 12.0, kGreen);
    Plug(p, 13.0, 12.0, kGreen, true);
}

// Disconnect: plug and socket pulled apart, the link broken.
void DrawDisconnect(QPainter &p)
{
    Socket(p, 16.0, 12.0, kRed);
    Plug(p, 10.0, 12.0, kRed, true);
    // Short strokes out of the gap, above and below.
    const QPointF gap(13.0, 12.0);
    p.setPen(Stroke(kRed, 1.5));
    const qreal angles[3] = {60.0, 90.0, 120.0};
    for (qreal degrees : angles) {
        const qreal a = qDegreesToRadians(degrees);
        const QPointF direction(qCos(a), qSin(a));
        p.drawLine(gap - direction * 6.5, gap - direction * 9.5);
        p.drawLine(gap + direction * 6.5, gap + direction * 9.5);
    }
}

// Density balance: the four inks' bars levelled against a target line.
void DrawAdjustDensity(QPainter &p)
{
    const QColor inks[4] = {QColor(0x00, 0xae, 0xef), QColor(0xec, 0x00, 0x8c), QColor(0xff, 0xd8, 0x00), kInk};
    const qreal tops[4] = {9.0, 6.0, 11.0, 7.0};
    p.setPen(Stroke(kInk, 1.0));
    for (int i = 0; i < 4; ++i) {
        p.setBrush(inks[i]);
        p.drawRect(QRectF(2.5 + i * 5.0, tops[i], 4.0, 20.5 - tops[i]));
    }
    p.setPen(Stroke(kInk, 1.6));
    p.drawLine(QPointF(1.5, 21.0), QPointF(22.5, 21.0));
    DashedLine(p, QPointF(1.5, 8.0), QPointF(22.5, 8.0), kRed);
}

// Start a measurement.
void DrawMeasure(QPainter &p)
{
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(12.0, 12.0), 9.5, 9.5);
    const QPointF play[3] = {QPointF(9.5, 7.0), QPointF(17.0, 12.0), QPointF(9.5, 17.0)};
    p.setPen(Stroke(kPaper, 1.0));
    p.setBrush(kPaper);
    p.drawPolygon(play, 3);
}

// ---- Tile strip pictures ------------------------------------------------------------------------------------

// Letters as strokes on a 4 x 6 grid (y down), so the pictures come out the same whatever fonts a machine has.
// Each stroke is a run of points; "." is a dot at the foot.
struct Glyph {
    char letter;
    std::vector<std::vector<QPointF>> strokes;
};

const std::vector<Glyph> &StrokeFont()
{
    using P = QPointF;
    static const std::vector<Glyph> font = {
        {'A', {{P(0, 6), P(0, 2), P(2, 0), P(4, 2), P(4, 6)}, {P(0, 3.5), P(4, 3.5)}}},
        {'B', {{P(0, 0), P(0, 6), P(3, 6), P(4, 5), P(4, 4), P(3, 3), P(0, 3)},
               {P(0, 0), P(3, 0), P(4, 1), P(4, 2), P(3, 3)}}},
        {'C', {{P(4, 1), P(3, 0), P(1, 0), P(0, 1), P(0, 5), P(1, 6), P(3, 6), P(4, 5)}}},
        {'D', {{P(0, 0), P(0, 6), P(2, 6), P(4, 4), P(4, 2), P(2, 0), P(0, 0)}}},
        {'E', {{P(4, 0), P(0, 0), P(0, 6), P(4, 6)}, {P(0, 3), P(3, 3)}}},
        {'F', {{P(4, 0), P(0, 0), P(0, 6)}, {P(0, 3), P(3, 3)}}},
        {'G', {{P(4, 1), P(3, 0), P(1, 0), P(0, 1), P(0, 5), P(1, 6), P(3, 6), P(4, 5), P(4, 3.5), P(2, 3.5)}}},
        {'H', {{P(0, 0), P(0, 6)}, {P(4, 0), P(4, 6)}, {P(0, 3), P(4, 3)}}},
        {'I', {{P(1, 0), P(3, 0)}, {P(2, 0), P(2, 6)}, {P(1, 6), P(3, 6)}}},
        {'K', {{P(0, 0), P(0, 6)}, {P(4, 0), P(0, 4)}, {P(1.5, 2.8), P(4, 6)}}},
        {'L', {{P(0, 0), P(0, 6), P(4, 6)}}},
        {'M', {{P(0, 6), P(0, 0), P(2, 3), P(4, 0), P(4, 6)}}},
        {'N', {{P(0, 6), P(0, 0), P(4, 6), P(4, 0)}}},
        {'O', {{P(1, 0), P(3, 0), P(4, 1), P(4, 5), P(3, 6), P(1, 6), P(0, 5), P(0, 1), P(1, 0)}}},
        {'P', {{P(0, 6), P(0, 0), P(3, 0), P(4, 1), P(4, 2), P(3, 3), P(0, 3)}}},
        {'R', {{P(0, 6), P(0, 0), P(3, 0), P(4, 1), P(4, 2), P(3, 3), P(0, 3)}, {P(2, 3), P(4, 6)}}},
        {'T', {{P(0, 0), P(4, 0)}, {P(2, 0), P(2, 6)}}},
        {'U', {{P(0, 0), P(0, 5), P(1, 6), P(3, 6), P(4, 5), P(4, 0)}}},
        {'W', {{P(0, 0), P(1, 6), P(2, 3), P(3, 6), P(4, 0)}}},
        {'V', {{P(0, 0), P(2, 6), P(4, 0)}}},
        {'Y', {{P(0, 0), P(2, 3), P(4, 0)}, {P(2, 3), P(2, 6)}}},
        {'a', {{P(0.5, 2.5), P(3, 2.5), P(4, 3.5), P(4, 6)}, {P(4, 4.2), P(1, 4.2), P(0, 5.1), P(1, 6), P(3, 6), P(4, 5)}}},
        {'e', {{P(0, 4.2), P(4, 4.2), P(4, 3.5), P(3, 2.5), P(1, 2.5), P(0, 3.5), P(0, 5), P(1, 6), P(3.5, 6)}}},
        {'m', {{P(0, 6), P(0, 2.5)}, {P(0, 3.5), P(1, 2.5), P(2, 3.5), P(2, 6)}, {P(2, 3.5), P(3, 2.5), P(4, 3.5), P(4, 6)}}},
        {'r', {{P(0, 2.5), P(0, 6)}, {P(0, 4.2), P(1.7, 2.5), P(3.8, 2.5)}}},
        {'o', {{P(1, 2.5), P(3, 2.5), P(4, 3.5), P(4, 5), P(3, 6), P(1, 6), P(0, 5), P(0, 3.5), P(1, 2.5)}}},
        {'1', {{P(1, 1), P(2, 0), P(2, 6)}, {P(1, 6), P(3, 6)}}},
        {'2', {{P(0, 1), P(1, 0), P(3, 0), P(4, 1), P(4, 2), P(0, 6), P(4, 6)}}},
    };
    return font;
}

// Letters are four wide and two apart; the dot takes a narrow place.
qreal GlyphAdvance(QChar c)
{
    return c == QLatin1Char('.') ? 3.0 : 6.0;
}

qreal StrokeTextWidth(const QString &text, qreal unit)
{
    qreal width = 0.0;
    for (const QChar c : text)
        width += GlyphAdvance(c);
    return text.isEmpty() ? 0.0 : (width - 2.0) * unit;
}

// Draws text with its top left at origin, one grid step = unit pixels.
void StrokeText(QPainter &p, const QString &text, const QPointF &origin, qreal unit, const QColor &colour)
{
    const qreal width = std::max<qreal>(1.2, unit * 0.75);
    p.setPen(Stroke(colour, width));
    p.setBrush(Qt::NoBrush);
    QPointF at = origin;
    for (const QChar c : text) {
        if (c == QLatin1Char('.')) {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(at + QPointF(0.5 * unit, 6.0 * unit - width * 0.2), width * 0.7, width * 0.7);
            p.setPen(Stroke(colour, width));
            p.setBrush(Qt::NoBrush);
        }
        for (const Glyph &glyph : StrokeFont()) {
            if (glyph.letter != c.toLatin1())
                continue;
            for (const std::vector<QPointF> &stroke : glyph.strokes) {
                QPolygonF line;
                for (const QPointF &point : stroke)
                    line << at + point * unit;
                p.drawPolyline(line);
            }
        }
        at.rx() += GlyphAdvance(c) * unit;
    }
}


// One strip of seven reference tiles as the user holds it: the caption, the swatches in their colours with their
// names, and the arrow that shows which way the strip goes into the scanner.
QImage TileStrip(int strip)
{
    QImage image(kTilePictureWidth, kTilePictureHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(kPaper);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    StrokeText(p, QStringLiteral("No.%1").arg(strip), QPointF(14.0, 10.0), 4.0, kInk);

    const QRectF carrier(8.0, 46.0, kTilePictureWidth - 16.0, 200.0);
    p.setPen(Stroke(kInk, 1.5));
    p.setBrush(kLightGrey);
    p.drawRoundedRect(carrier, 6.0, 6.0);

    constexpr int kPerStrip = 7;
    constexpr qreal kGap = 6.0;
    const qreal swatchWidth = (carrier.width() - 16.0 - (kPerStrip - 1) * kGap) / kPerStrip;
    const qreal unit = 2.2;
    for (int i = 0; i < kPerStrip; ++i) {
        const int id = (strip - 1) * kPerStrip + i;
        const QRectF swatch(carrier.left() + 8.0 + i * (swatchWidth + kGap), carrier.top() + 10.0, swatchWidth,
                            carrier.height() - 20.0);
        p.setPen(Stroke(kInk, 1.0));
        p.setBrush(TileBackgroundColor(id));
        p.drawRect(swatch);
        // Names run upwards, centred on the swatch.
        const QString name = TileName(id);
        p.save();
        p.translate(swatch.center());
        p.rotate(-90.0);
        StrokeText(p, name, QPointF(-StrokeTextWidth(name, unit) / 2.0, -3.0 * unit), unit, TileTextColor(id));
        p.restore();
    }

    // Leading edge first: the strip moves up into the scanner.
    const qreal x = kTilePictureWidth / 2.0;
    p.setPen(QPen(kBlue, 6.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(x, kTilePictureHeight - 6.0), QPointF(x, carrier.bottom() + 22.0));
    ArrowHead(p, QPointF(x, carrier.bottom() + 6.0), QPointF(0.0, -1.0), kBlue, 18.0);
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A splash for the program: the name on a deep band, a small colour chart below it at the left, and a quiet light
// field on the right where the version and notice labels go.
QImage Splash()
{
    QImage image(kSplashWidth, kSplashHeight, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient field(0.0, 0.0, 0.0, kSplashHeight);
    field.setColorAt(0.0, QColor(0xfa, 0xfb, 0xfc));
    field.setColorAt(1.0, QColor(0xee, 0xf1, 0xf4));
    p.fillRect(image.rect(), field);

    const QColor deep(0x24, 0x4a, 0x6e);
    const QRectF band(0.0, 0.0, kSplashWidth, 124.0);
    p.fillRect(band, deep);
    // The process inks as a thin rule under the band.
    const QColor inks[4] = {QColor(0x00, 0xae, 0xef), QColor(0xec, 0x00, 0x8c), QColor(0xff, 0xd8, 0x00),
                            QColor(0x21, 0x21, 0x21)};
    const qreal stripe = kSplashWidth / 4.0;
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRectF(i * stripe, band.bottom(), stripe, 6.0), inks[i]);

    const QString name = QStringLiteral("Varemo");
    const qreal unit = 10.5;
    StrokeText(p, name, QPointF(36.0, band.center().y() - 3.0 * unit), unit, kPaper);

    // A chart of five by four patches, left of the label field.
    const QColor patches[20] = {
        QColor(0x00, 0xae, 0xef), QColor(0x5c, 0xc6, 0xf2), QColor(0xa3, 0xdd, 0xf7), QColor(0xdc, 0xf2, 0xfc),
        QColor(0xec, 0x00, 0x8c), QColor(0xf1, 0x5a, 0xb0), QColor(0xf6, 0xa2, 0xcf), QColor(0xfb, 0xdc, 0xec),
        QColor(0xff, 0xd8, 0x00), QColor(0xff, 0xe4, 0x5c), QColor(0xff, 0xee, 0xa3), QColor(0xff, 0xf8, 0xdc),
        QColor(0x21, 0x21, 0x21), QColor(0x6b, 0x6b, 0x6b), QColor(0xad, 0xad, 0xad), QColor(0xe3, 0xe3, 0xe3),
        QColor(0xe5, 0x39, 0x35), QColor(0x43, 0xa0, 0x47), QColor(0x1e, 0x63, 0xc8), QColor(0xff, 0xff, 0xff)};
    const qreal cell = 28.0;
    const QPointF origin(36.0, 148.0);
    p.setPen(Stroke(QColor(0xc4, 0xcb, 0xd2), 1.0));
    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 4; ++column) {
            p.setBrush(patches[row * 4 + column]);
            p.drawRect(QRectF(origin.x() + column * (cell + 4.0), origin.y() + row * (cell + 4.0), cell, cell));
        }
    }
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

struct IconEntry {
    const char *name;
    std::function<void(QPainter &)> draw;
    bool mirrored;
    const char *greyName = nullptr; // null: the name with "_g"
};

// Later pictures join this table; the resource list follows it.
const std::vector<IconEntry> &IconTable()
{
    static const std::vector<IconEntry> table = {
        {"id", DrawId, false},
        {"tb-02v", DrawLengthId, false},
        {"chart_side_turn", DrawRotate, false},
        {"copy", DrawCopy, false},
        {"paste", DrawPaste, false},
        {"chart_side_UD", DrawFlipUpDown, false},
        {"chart_side_LR", DrawFlipLeftRight, false},
        {"chart_side_RC", DrawExchangeRowColumn, false},
        {"undo", DrawUndo, false},
        {"redo", DrawUndo, true},
        {"color", DrawColour, false},
        {"zoomin", [](QPainter &p) { Magnifier(p, true); }, false},
        {"zoomout", [](QPainter &p) { Magnifier(p, false); }, false},
        {"delete", DrawBin, false},
        {"new", DrawNew, false},
        {"open", DrawOpen, false},
        {"save", DrawSave, false},
        {"setting_measure", DrawSettingMeasure, false},
        {"setting_environ", DrawSettingEnviron, false},
        {"setting_connect", DrawSettingConnect, false},
        {"setting_network", DrawSettingNetwork, false},
        {"illuminant_data", DrawIlluminant, false},
        {"connect", DrawConnect, false},
        {"disconnect", DrawDisconnect, false},
        {"adjust_density", DrawAdjustDensity, false},
        {"mes_t", DrawMeasure, false, "mes_g"},
    };
    return table;
}

QImage Canvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool SavePng(const QImage &image, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

// Qt's ico writer leaves the padding at the end of each transparency-mask row unwritten; zeroed here so the same
// drawing always gives the same bytes. The picture: a 40-byte header, width x height 32-bit pixels, then the
// mask rows, each padded to 4 bytes.
void ClearMaskPadding(QByteArray *picture)
{
    QDataStream in(*picture);
    in.setByteOrder(QDataStream::LittleEndian);
    quint32 headerSize = 0;
    qint32 width = 0, doubleHeight = 0;
    quint16 planes = 0, bitCount = 0;
    in >> headerSize >> width >> doubleHeight >> planes >> bitCount;
    if (in.status() != QDataStream::Ok || bitCount != 32 || width <= 0 || doubleHeight <= 0)
        return;
    const qint64 height = doubleHeight / 2;
    const qint64 stride = (qint64(width) + 31) / 32 * 4;
    const qint64 used = (qint64(width) + 7) / 8;
    const qint64 mask = qint64(headerSize) + qint64(width) * height * 4;
    for (qint64 row = 0; row < height; ++row)
        for (qint64 b = used; b < stride; ++b)
            if (mask + row * stride + b < picture->size())
                (*picture)[int(mask + row * stride + b)] = 0;
}

// Qt's ico writer puts one picture in a file; the pictures are written one by one and their directories joined.
QByteArray IcoFile(const QList<QImage> &images, QString *error)
{
    QList<QByteArray> entries;
    QList<QByteArray> payloads;
    for (const QImage &image : images) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "ico");
        if (!writer.write(image)) {
            *error = QStringLiteral("ico writer: %1").arg(writer.errorString());
            return QByteArray();
        }
        const QByteArray single = buffer.data();
        QDataStream in(single);
        in.setByteOrder(QDataStream::LittleEndian);
        quint16 reserved = 0, type = 0, count = 0;
        in >> reserved >> type >> count;
        if (count != 1 || single.size() < 22) {
            *error = QStringLiteral("ico writer gave %1 pictures").arg(count);
            return QByteArray();
        }
        const QByteArray entry = single.mid(6, 16);
        QDataStream entryIn(entry);
        entryIn.setByteOrder(QDataStream::LittleEndian);
        entryIn.skipRawData(8);
        quint32 bytes = 0, offset = 0;
        entryIn >> bytes >> offset;
        if (quint64(offset) + bytes > quint64(single.size())) {
            *error = QStringLiteral("ico writer gave a short file");
            return QByteArray();
        }
        entries.append(entry.left(8));
        payloads.append(single.mid(int(offset), int(bytes)));
        ClearMaskPadding(&payloads.last());
    }
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << quint16(0) << quint16(1) << quint16(entries.size());
    quint32 offset = quint32(6 + 16 * entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        stream.writeRawData(entries.at(i).constData(), entries.at(i).size());
        stream << quint32(payloads.at(i).size()) << offset;
        offset += quint32(payloads.at(i).size());
    }
    for (const QByteArray &payload : payloads)
        stream.writeRawData(payload.constData(), payload.size());
    return out;
}

bool SaveBytes(const QByteArray &bytes, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool SaveGreyTiff(const QImage &image, const QString &path, QString *error)
{
    const QuietTiffHandlers quiet;
    const QByteArray name = QFile::encodeName(path);
    std::unique_ptr<TIFF, void (*)(TIFF *)> tiff(TIFFOpen(name.constData(), "w"), TIFFClose);
    bool ok = tiff != nullptr;
    if (ok) {
        TIFF *t = tiff.get();
        ok = TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()))
            && TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(image.height()))
            && TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(8))
            && TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1))
            && TIFFSetField(t, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISBLACK))
            && TIFFSetField(t, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG))
            && TIFFSetField(t, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_LZW))
            && TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(image.height()));
        for (int y = 0; ok && y < image.height(); ++y)
            ok = TIFFWriteScanline(t, const_cast<uchar *>(image.constScanLine(y)), uint32_t(y), 0) == 1;
        if (ok)
            ok = TIFFFlush(t) == 1;
    }
    tiff.reset();
    if (!ok) {
        QFile::remove(path);
        *error = QStringLiteral("cannot write %1").arg(path);
    }
    return ok;
}

QByteArray ResourceList(const QStringList &files)
{
    QByteArray out = "<!DOCTYPE RCC>\n<!-- Written by tools/icons (varemo_icons); do not edit by hand. -->\n"
                     "<RCC version=\"1.0\">\n<qresource prefix=\"/CVaremo/Resource\">\n";
    for (const QString &file : files)
        out += "    <file>" + file.toUtf8() + "</file>\n";
    out += "</qresource>\n</RCC>\n";
    return out;
}

} // namespace

QStringList IconNames()
{
    QStringList names;
    for (const IconEntry &entry : IconTable())
        names.append(QLatin1String(entry.name));
    return names;
}

QString GreyName(const QString &name)
{
    for (const IconEntry &entry : IconTable()) {
        if (name == QLatin1String(entry.name))
            return entry.greyName ? QLatin1String(entry.greyName) : name + QLatin1String("_g");
    }
    return QString();
}

QImage DrawIcon(const QString &name)
{
    for (const IconEntry &entry : IconTable()) {
        if (name != QLatin1String(entry.name))
            continue;
        QImage image = Canvas(kIconSize);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            entry.draw(p);
        }
        if (entry.mirrored)
            image = image.mirrored(true, false);
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    return QImage();
}

QStringList TilePictureNames()
{
    return {QStringLiteral("tile1"), QStringLiteral("tile2")};
}

QImage DrawTilePicture(const QString &name)
{
    const int index = TilePictureNames().indexOf(name);
    return index < 0 ? QImage() : TileStrip(index + 1);
}

QImage GreyVariant(const QImage &icon)
{
    QImage grey = icon.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(grey.scanLine(y));
        for (int x = 0; x < grey.width(); ++x) {
            // Lighten towards white by 45 %.
            const int g = qGray(line[x]);
            const int v = 255 - (255 - g) * 55 / 100;
            line[x] = qRgba(v, v, v, qAlpha(line[x]));
        }
    }
    return grey;
}

QImage DrawSplash()
{
    return Splash();
}

QImage DrawAppIcon(int size)
{
    QImage image = Canvas(size);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x24, 0x4a, 0x6e));
        p.drawRoundedRect(QRectF(0.5, 0.5, 23.0, 23.0), 4.0, 4.0);
        // A small colour chart: three rows of patches.
        const QColor patches[9] = {QColor(0x00, 0xae, 0xef), QColor(0xec, 0x00, 0x8c), QColor(0xff, 0xf1, 0x00),
                                   QColor(0xe5, 0x39, 0x35), QColor(0x43, 0xa0, 0x47), QColor(0x1e, 0x63, 0xc8),
                                   QColor(0xff, 0xff, 0xff), QColor(0x9e, 0x9e, 0x9e), QColor(0x21, 0x21, 0x21)};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                p.setBrush(patches[r * 3 + c]);
                p.drawRect(QRectF(3.5 + c * 6.0, 3.5 + r * 6.0, 5.0, 5.0));
            }
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QList<int> AppIconSizes()
{
    return {16, 32, 48, 256};
}

QImage DrawQrSymbol(const QByteArray &text)
{
    std::unique_ptr<QRcode, void (*)(QRcode *)> code(
        QRcode_encodeString(text.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), QRcode_free);
    if (!code)
        return QImage();
    const int modules = code->width + 2 * kQrQuietModules;
    QImage image(modules * kQrModulePixels, modules * kQrModulePixels, QImage::Format_Grayscale8);
    image.fill(255);
    for (int my = 0; my < code->width; ++my) {
        for (int mx = 0; mx < code->width; ++mx) {
            if ((code->data[my * code->width + mx] & 1) == 0)
                continue;
            const int x0 = (mx + kQrQuietModules) * kQrModulePixels;
            const int y0 = (my + kQrQuietModules) * kQrModulePixels;
            for (int y = y0; y < y0 + kQrModulePixels; ++y)
                memset(image.scanLine(y) + x0, 0, kQrModulePixels);
        }
    }
    return image;
}

QString SplashFileName()
{
    return QStringLiteral("splash.png");
}

QString AppIconFileName()
{
    return QStringLiteral("Varemo.ico");
}

QString BarcodeFileName()
{
    return QStringLiteral("barcode_image.tiff");
}

QString ResourceListName()
{
    return QStringLiteral("Resource.qrc");
}

QByteArray BarcodeText()
{
    return QByteArrayLiteral("VAREMO");
}

QStringList OutputFileNames()
{
    QStringList files;
    for (const QString &name : IconNames())
        files << name + QLatin1String(".png") << GreyName(name) + QLatin1String(".png");
    for (const QString &name : TilePictureNames())
        files << name + QLatin1String(".png");
    files << SplashFileName() << AppIconFileName() << BarcodeFileName() << ResourceListName();
    return files;
}

QStringList WriteAll(const QString &folder, QString *error)
{
    const QDir dir(folder);
    for (const QString &name : IconNames()) {
        const QImage icon = DrawIcon(name);
        if (!SavePng(icon, dir.filePath(name + QLatin1String(".png")), error)
            || !SavePng(GreyVariant(icon), dir.filePath(GreyName(name) + QLatin1String(".png")), error))
            return QStringList();
    }
    for (const QString &name : TilePictureNames()) {
        if (!SavePng(DrawTilePicture(name), dir.filePath(name + QLatin1String(".png")), error))
            return QStringList();
    }
    if (!SavePng(DrawSplash(), dir.filePath(SplashFileName()), error))
        return QStringList();

    QList<QImage> appIcons;
    for (int size : AppIconSizes())
        appIcons.append(DrawAppIcon(size));
    const QByteArray ico = IcoFile(appIcons, error);
    if (ico.isEmpty() || !SaveBytes(ico, dir.filePath(AppIconFileName()), error))
        return QStringList();

    const QImage qr = DrawQrSymbol(BarcodeText());
    if (qr.isNull()) {
        *error = QStringLiteral("cannot encode the QR symbol");
        return QStringList();
    }
    if (!SaveGreyTiff(qr, dir.filePath(BarcodeFileName()), error))
        return QStringList();

    QStringList files = OutputFileNames();
    files.removeLast();
    if (!SaveBytes(ResourceList(files), dir.filePath(ResourceListName()), error))
        return QStringList();
    return OutputFileNames();
}

} // namespace IconDrawing
