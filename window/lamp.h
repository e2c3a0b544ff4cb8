// The activity lamp: a filled circle whose colour is set and read as 0x00BBGGRR.
#pragma once

#include <QWidget>

namespace window {

class Lamp : public QWidget
{
    Q_OBJECT

public:
    explicit Lamp(QWidget* parent = nullptr);

    unsigned fillColor() const { return fill_; }
    void setFillColor(unsigned bgr);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    unsigned fill_ = 0;
};

QColor ColorFromBgr(unsigned bgr);

} // namespace window
