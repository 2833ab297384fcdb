#pragma once
// A progress bar drawn as the classic desktop draws one: a thin sunken frame holding a row of
// navy blocks, each two thirds as wide as the bar is high, with a gap between blocks and no text.
// Only the painting differs from QProgressBar.

#include <QProgressBar>

namespace stowix {

class ClassicProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ClassicProgressBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace stowix
