// SPDX-License-Identifier: Apache-2.0
#include "frontends/zorrel/form1_logic.h"

#include "frontends/zorrel/dispatch_ids.h"

namespace zorrel {

using frontends::Arguments;
using frontends::Value;

namespace {

constexpr const char* kConnecting = "Connecting..., Please wait.";
constexpr const char* kConnectionFailed = "Connection failed.";
constexpr const char* kWaiting = "Waiting for data.";
constexpr const char* kRespondingTrivial = "Responding to Trivial mode packet";
constexpr const char* kRespondingNominal = "Responding to Nominal mode packet";

constexpr std::int32_t kPort = 1283;
constexpr int kTrivialPacket = 1;
constexpr int kNominalPacket = 2;
constexpr int kProductQueryKind = 7;
constexpr int kEventKind = 10;

}  // namespace

Form1Logic::Form1Logic(Form1View& view)
    : view_(view), zorrel1_(frontends::createControl(frontends::kZorrelControlName)) {
    call(kSetMessage, {std::string("send message"), std::int32_t(12)});
    view_.showInfo("");
}

// A missing control fails every call, as a call that reports an error does.
Value Form1Logic::call(int dispatchId, Arguments args) {
    return zorrel1_ ? zorrel1_->invoke(dispatchId, args) : Value();
}

void Form1Logic::startServerPressed() {
    if (state_ != State::Stopped)
        return;
    view_.setStartServerEnabled(false);
    view_.setExitServerEnabled(true);
    view_.showInfo(kConnecting);
    const auto started = frontends::toInt16(call(kStart, {kPort}));
    if (!started || *started <= 0) {
        state_ = State::StartFailed;
        view_.showInfo(kConnectionFailed);
        return;
    }
    state_ = State::Serving;
    view_.startPollTimer(kPollInterval);
}

void Form1Logic::exitServerPressed() {
    if (state_ == State::Stopped || state_ == State::Closed)
        return;
    // Stopping during the pause drops the second message: the control
    // closes the unit's connection now, and nothing is sent after it.
    state_ = State::Stopped;
    view_.setStartServerEnabled(true);
    view_.setExitServerEnabled(false);
    view_.stopPollTimer();
    view_.stopPause();
    view_.showInfo("");
    call(kStop);
}

void Form1Logic::pollTick() {
    // Ticks that fall into the pause of an answer are let pass: one poll at
    // a time, so answers never interleave on the control's one connection.
    if (state_ != State::Serving)
        return;
    view_.showInfo(kWaiting);
    // A status the control cannot give as a 16-bit number counts as failed.
    const int status = frontends::toInt16(call(kPoll)).value_or(-1);
    if (status < 0) {
        view_.showInfo(kConnectionFailed);
        return;
    }
    if (status == kTrivialPacket)
        return answerTrivial();
    if (status == kNominalPacket)
        answerNominal();
    endPoll();
}

void Form1Logic::answerTrivial() {
    view_.showInfo(kRespondingTrivial);
    call(kTrivialText);
    call(kSendText, {std::string("First Message")});
    state_ = State::Pausing;
    view_.startPause(kAnswerPause);
}

void Form1Logic::pauseEnded() {
    if (state_ != State::Pausing)
        return;
    state_ = State::Serving;
    call(kSendText, {std::string("Second Message")});
    endPoll();
}

void Form1Logic::answerNominal() {
    const auto kind = frontends::toInt16(call(kPacketKind));
    if (kind == kProductQueryKind) {
        call(kPrefix);
        call(kBarcode);
        call(kBarcodeLength);
        call(kSendFile, {std::string("header.gif")});
        view_.showInfo(kRespondingNominal);
    } else if (kind == kEventKind) {
        for (int id : {kEventStarts, kEventStops, kEventKey, kEventText}) call(id);
    }
}

void Form1Logic::endPoll() {
    call(kEndConnection);
}

void Form1Logic::closing() {
    state_ = State::Closed;
    view_.stopPollTimer();
    view_.stopPause();
}

}  // namespace zorrel
