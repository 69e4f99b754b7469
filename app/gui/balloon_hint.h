#pragma once

#include <QLabel>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace zel {

// A small frameless popup with a tail that points at a widget, below and to the right of its
// centre, and hides itself after a given time.
class TBalloonHint : public QWidget {
    Q_OBJECT

public:
    explicit TBalloonHint(QWidget* parent);

    void ShowHint(const QWidget& anchor, const QString& text, int visible_ms);
    QString Text() const { return FLabel->text(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* FLabel;
    QTimer FHideTimer;
};

} // namespace zel
