#include "tqread/app/program_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace trk::tqread::app {
namespace {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
  painter.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);

  QPainterPath drop;
  drop.moveTo(s * 0.5, s * 0.12);
  drop.cubicTo(s * 0.62, s * 0.34, s * 0.80, s * 0.50, s * 0.80, s * 0.64);
  drop.cubicTo(s * 0.80, s * 0.82, s * 0.66, s * 0.90, s * 0.5, s * 0.90);
  drop.cubicTo(s * 0.34, s * 0.90, s * 0.20, s * 0.82, s * 0.20, s * 0.64);
  drop.cubicTo(s * 0.20, s * 0.50, s * 0.38, s * 0.34, s * 0.5, s * 0.12);
  painter.setBrush(QColor(0xf5, 0xc2, 0x3a));
  painter.drawPath(drop);
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace trk::tqread::app
