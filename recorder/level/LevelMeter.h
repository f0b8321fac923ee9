#pragma once
// A level-meter strip: a column of cells lit from the bottom up, green, then yellow, then red at the
// top. Until it is given a level it plays a looping demonstration of a moving level; its timer runs
// only while the strip is on screen.

#include <QBasicTimer>
#include <QWidget>

class LevelMeter : public QWidget {
    Q_OBJECT

public:
    explicit LevelMeter(QWidget* parent = nullptr);

    // Stops the demonstration and lights `fraction` (0 to 1) of the strip.
    void setLevel(double fraction);
    double level() const { return level_; }
    // Goes back to the looping demonstration (what a new strip does).
    void playDemonstration();
    bool playsDemonstration() const { return demonstrating_; }
    bool animationRunning() const { return timer_.isActive(); }

    // Cells shown at the current height, and how many of them the level lights.
    int cellCount() const;
    int litCells() const;

    static constexpr int kFrameMilliseconds = 120;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void updateTimer();

    QBasicTimer timer_;
    double level_ = 0;
    bool demonstrating_ = true;
    int frame_ = 0;
};
