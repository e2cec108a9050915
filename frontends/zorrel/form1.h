// The Zorrel window: starts and stops the ZORRELLib.Zorrel host-server
// control, polls it every 100 ms and tells it how to answer each unit:
// trivial text gets "First Message" and, two seconds later, "Second
// Message"; a PROD frame gets the image "header.gif". The status line shows
// what is going on. The window owns no socket.
#pragma once

#include <QWidget>
#include <chrono>
#include <memory>

#include "frontends/control/control.h"

class QLabel;
class QPushButton;
class QTimer;

namespace zorrel {

class Form1 : public QWidget {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kPollInterval{100};
    static constexpr std::chrono::milliseconds kAnswerPause{2000};

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private slots:
    void onStartServerClicked();
    void onExitServerClicked();
    void onTimer1Tick();

  private:
    void buildUi();
    QVariant call(int dispatchId, QVariantList args = {});
    void answerTrivial();
    void answerNominal();
    // Waits while the window keeps handling its events.
    void pause(std::chrono::milliseconds duration);

    std::unique_ptr<frontends::Control> zorrel1_;
    QPushButton* startServer_ = nullptr;
    QPushButton* exitServer_ = nullptr;
    QLabel* info_ = nullptr;
    QTimer* timer1_ = nullptr;
    bool polling_ = false;  // a poll is under way (ticks meanwhile are let pass)
    bool closing_ = false;
};

}  // namespace zorrel
