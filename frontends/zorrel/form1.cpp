#include "frontends/zorrel/form1.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "frontends/control/twips.h"

namespace zorrel {

using frontends::twipsRect;

namespace {

const QString kConnecting = QStringLiteral("Connecting..., Please wait.");
const QString kConnectionFailed = QStringLiteral("Connection failed.");
const QString kWaiting = QStringLiteral("Waiting for data.");
const QString kRespondingTrivial = QStringLiteral("Responding to Trivial mode packet");
const QString kRespondingNominal = QStringLiteral("Responding to Nominal mode packet");

constexpr int kPort = 1283;
constexpr int kTrivialPacket = 1;
constexpr int kNominalPacket = 2;
constexpr int kProductQueryKind = 7;
constexpr int kEventKind = 10;

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    buildUi();
    zorrel1_ = frontends::createControl(frontends::kZorrelControlName);
    call(5, {QStringLiteral("send message"), QVariant::fromValue<qint32>(12)});
    info_->clear();
}

Form1::~Form1() = default;

void Form1::buildUi() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFixedSize(frontends::twipsSize(7425, 6990));

    startServer_ = new QPushButton(QStringLiteral("Start Server"), this);
    startServer_->setObjectName(QStringLiteral("StartServer"));
    startServer_->setGeometry(twipsRect(240, 480, 1695, 615));
    exitServer_ = new QPushButton(QStringLiteral("Exit Server"), this);
    exitServer_->setObjectName(QStringLiteral("ExitServer"));
    exitServer_->setGeometry(twipsRect(2280, 480, 1695, 615));
    exitServer_->setEnabled(false);
    info_ = new QLabel(this);
    info_->setObjectName(QStringLiteral("Info"));
    info_->setGeometry(twipsRect(360, 1560, 6615, 735));
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setWordWrap(true);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));

    connect(startServer_, &QPushButton::clicked, this, &Form1::onStartServerClicked);
    connect(exitServer_, &QPushButton::clicked, this, &Form1::onExitServerClicked);
    connect(timer1_, &QTimer::timeout, this, &Form1::onTimer1Tick);
}

// A missing control fails every call, as a call that reports an error does.
QVariant Form1::call(int dispatchId, QVariantList args) {
    return zorrel1_ ? zorrel1_->invoke(dispatchId, args) : QVariant();
}

void Form1::onStartServerClicked() {
    startServer_->setEnabled(false);
    exitServer_->setEnabled(true);
    info_->setText(kConnecting);
    const auto started = frontends::toInt16(call(1, {QVariant::fromValue<qint32>(kPort)}));
    if (!started || *started <= 0) {
        info_->setText(kConnectionFailed);
        return;
    }
    timer1_->start(kPollInterval);
}

void Form1::onExitServerClicked() {
    startServer_->setEnabled(true);
    exitServer_->setEnabled(false);
    timer1_->stop();
    info_->clear();
    call(10);
}

void Form1::onTimer1Tick() {
    // A tick that falls into the pause of an answer is let pass: one poll at
    // a time, so answers never interleave on the control's one connection.
    if (polling_ || closing_)
        return;
    polling_ = true;
    info_->setText(kWaiting);
    // A status the control cannot give as a 16-bit number counts as failed.
    const int status = frontends::toInt16(call(2)).value_or(-1);
    if (status < 0) {
        info_->setText(kConnectionFailed);
    } else {
        if (status == kTrivialPacket)
            answerTrivial();
        else if (status == kNominalPacket)
            answerNominal();
        if (!closing_)
            call(6);
    }
    polling_ = false;
}

void Form1::answerTrivial() {
    info_->setText(kRespondingTrivial);
    call(3);
    call(11, {QStringLiteral("First Message")});
    pause(kAnswerPause);
    if (closing_)
        return;
    call(11, {QStringLiteral("Second Message")});
}

void Form1::answerNominal() {
    const auto kind = frontends::toInt16(call(15));
    if (kind == kProductQueryKind) {
        call(9);
        call(8);
        call(7);
        call(4, {QStringLiteral("header.gif")});
        info_->setText(kRespondingNominal);
    } else if (kind == kEventKind) {
        for (int id : {16, 17, 18, 19}) call(id);
    }
}

void Form1::pause(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void Form1::closeEvent(QCloseEvent* event) {
    closing_ = true;
    timer1_->stop();
    QWidget::closeEvent(event);
}

}  // namespace zorrel
