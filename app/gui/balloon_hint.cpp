#include "app/gui/balloon_hint.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QVBoxLayout>

namespace zel {

namespace {

constexpr int tail_height = 10;
constexpr int tail_inset = 16; // from the balloon's left edge to the tail's tip
constexpr int corner_radius = 6;

} // namespace

TBalloonHint::TBalloonHint(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint)
    , FLabel(new QLabel(this)) {
    setObjectName(QStringLiteral("BalloonHint1"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, tail_height + 6, 10, 6);
    layout->addWidget(FLabel);
    FHideTimer.setSingleShot(true);
    connect(&FHideTimer, &QTimer::timeout, this, &QWidget::hide);
}

void TBalloonHint::ShowHint(const QWidget& anchor, const QString& text, int visible_ms) {
    FLabel->setText(text);
    adjustSize();
    const QPoint tip = anchor.mapToGlobal(anchor.rect().center());
    move(tip.x() - tail_inset, tip.y());
    show();
    raise();
    FHideTimer.start(visible_ms);
}

void TBalloonHint::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(rect()).adjusted(0.5, tail_height + 0.5, -0.5, -0.5);
    QPainterPath outline;
    outline.addRoundedRect(body, corner_radius, corner_radius);
    QPolygonF tail;
    tail << QPointF(tail_inset, 0.5) << QPointF(tail_inset, body.top() + 1)
         << QPointF(tail_inset + tail_height, body.top() + 1);
    outline.addPolygon(tail);
    outline = outline.simplified();
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.setBrush(palette().color(QPalette::ToolTipBase));
    painter.drawPath(outline);
}

} // namespace zel
