#include "app/gui/caption_progress_bar.h"

#include <QColor>
#include <QPainter>

namespace zel {

namespace {

const QColor bar_colour(0x00, 0xFF, 0x00); // lime
const QColor border_colour(0x80, 0x80, 0x80);

} // namespace

TCaptionProgressBar::TCaptionProgressBar(QWidget* parent)
    : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
}

void TCaptionProgressBar::SetCaptionText(const QString& text) {
    if (text == FCaptionText)
        return;
    FCaptionText = text;
    update();
    Q_EMIT CaptionTextChanged(FCaptionText);
}

void TCaptionProgressBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), palette().base());
    const QRect inside = rect().adjusted(1, 1, -1, -1);
    const int span = maximum() - minimum();
    if (span > 0) {
        const int done = value() - minimum();
        const int width = static_cast<int>(static_cast<qint64>(inside.width()) * done / span);
        painter.fillRect(QRect(inside.left(), inside.top(), width, inside.height()), bar_colour);
    }
    painter.setPen(border_colour);
    painter.drawRect(frame);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(inside, Qt::AlignCenter, FCaptionText);
}

} // namespace zel
