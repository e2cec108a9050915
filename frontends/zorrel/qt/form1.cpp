// SPDX-License-Identifier: Apache-2.0
#include "frontends/zorrel/qt/form1.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "frontends/control/qt/twips.h"
#include "ui/qt/focus.h"
#include "ui/qt/text.h"

namespace zorrel {

using frontends::twipsRect;

Form1::Form1(QWidget* parent) : QWidget(parent) {
    buildUi();
    logic_ = std::make_unique<Form1Logic>(static_cast<Form1View&>(*this));
}

Form1::~Form1() = default;

void Form1::buildUi() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(kTitle));
    setFixedSize(frontends::twipsSize(kClientWidth, kClientHeight));

    startServer_ = new QPushButton(QString::fromUtf8(kStartServer.caption), this);
    startServer_->setObjectName(QString::fromLatin1(kStartServer.name));
    startServer_->setGeometry(twipsRect(kStartServer.place));
    exitServer_ = new QPushButton(QString::fromUtf8(kExitServer.caption), this);
    exitServer_->setObjectName(QString::fromLatin1(kExitServer.name));
    exitServer_->setGeometry(twipsRect(kExitServer.place));
    exitServer_->setEnabled(false);
    // Enter on a focused button presses it, as Space does.
    startServer_->setAutoDefault(true);
    exitServer_->setAutoDefault(true);
    info_ = new QLabel(this);
    info_->setObjectName(QString::fromLatin1(kInfo.name));
    info_->setGeometry(twipsRect(kInfo.place));
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setWordWrap(true);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    pause_ = new QTimer(this);
    pause_->setSingleShot(true);
    pause_->setTimerType(Qt::PreciseTimer);

    connect(startServer_, &QPushButton::clicked, this, &Form1::onStartServerClicked);
    connect(exitServer_, &QPushButton::clicked, this, &Form1::onExitServerClicked);
    connect(timer1_, &QTimer::timeout, this, &Form1::onTimer1Tick);
    connect(pause_, &QTimer::timeout, this, &Form1::onPauseEnded);
}

void Form1::onStartServerClicked() {
    logic_->startServerPressed();
}

void Form1::onExitServerClicked() {
    logic_->exitServerPressed();
}

void Form1::onTimer1Tick() {
    logic_->pollTick();
}

void Form1::onPauseEnded() {
    logic_->pauseEnded();
}

void Form1::closeEvent(QCloseEvent* event) {
    logic_->closing();
    QWidget::closeEvent(event);
}

void Form1::setStartServerEnabled(bool enabled) {
    ui::qt::setEnabled(startServer_, enabled);
}

void Form1::setExitServerEnabled(bool enabled) {
    ui::qt::setEnabled(exitServer_, enabled);
}

void Form1::showInfo(std::string_view text) {
    info_->setText(ui::qt::widen(text));
}

void Form1::startPollTimer(std::chrono::milliseconds interval) {
    timer1_->start(interval);
}

void Form1::stopPollTimer() {
    timer1_->stop();
}

void Form1::startPause(std::chrono::milliseconds duration) {
    pause_->start(duration);
}

void Form1::stopPause() {
    pause_->stop();
}

}  // namespace zorrel
