#pragma once

#include <QProgressBar>
#include <QString>

namespace zel {

// A progress bar that draws a caption of its own centred over a solid bar ("42%", "Main file
// uploaded...", "transfer completed"), whatever the widget style would draw.
class TCaptionProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit TCaptionProgressBar(QWidget* parent = nullptr);

    QString CaptionText() const { return FCaptionText; }
    void SetCaptionText(const QString& text);

    QString text() const override { return FCaptionText; }

Q_SIGNALS:
    void CaptionTextChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString FCaptionText;
};

} // namespace zel
