// SPDX-License-Identifier: Apache-2.0
// The Zorrel window on Qt: a thin view over Form1Logic, which decides the
// buttons, the status line and every call to the control. Timer1 is the
// poll timer; a second, one-shot timer ends the pause of a trivial answer.
#pragma once

#include <QWidget>

#include "frontends/zorrel/form1_logic.h"

class QLabel;
class QPushButton;
class QTimer;

namespace zorrel {

class Form1 : public QWidget, private Form1View {
    Q_OBJECT

  public:
    static constexpr std::chrono::milliseconds kPollInterval = Form1Logic::kPollInterval;
    static constexpr std::chrono::milliseconds kAnswerPause = Form1Logic::kAnswerPause;

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private slots:
    void onStartServerClicked();
    void onExitServerClicked();
    void onTimer1Tick();
    void onPauseEnded();

  private:
    void buildUi();

    // Form1View
    void setStartServerEnabled(bool enabled) override;
    void setExitServerEnabled(bool enabled) override;
    void showInfo(std::string_view text) override;
    void startPollTimer(std::chrono::milliseconds interval) override;
    void stopPollTimer() override;
    void startPause(std::chrono::milliseconds duration) override;
    void stopPause() override;

    QPushButton* startServer_ = nullptr;
    QPushButton* exitServer_ = nullptr;
    QLabel* info_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* pause_ = nullptr;
    std::unique_ptr<Form1Logic> logic_;  // made once the widgets are there
};

}  // namespace zorrel
