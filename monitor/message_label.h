// A label for messages that come and go (a run's state, a note on the port, a search's
// result): it takes the room it is given and no more, shortening its text with "…" where that
// is too little, the whole text shown on hover. A message never widens the window.
#pragma once

#include <QLabel>

namespace monitor {

class MessageLabel : public QLabel
{
public:
    explicit MessageLabel(QWidget* parent);

    QSize minimumSizeHint() const override;
    // Whether the text is shortened at the width the label has now.
    bool elided() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace monitor
