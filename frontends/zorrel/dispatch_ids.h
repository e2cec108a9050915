// SPDX-License-Identifier: Apache-2.0
// The methods of the ZORRELLib.Zorrel control by dispatch id, shared by the
// control and the window logic that calls it (see zorrel_control.h).
#pragma once

namespace zorrel {

enum DispatchId : int {
    kStart = 1,
    kPoll = 2,
    kTrivialText = 3,
    kSendFile = 4,
    kSetMessage = 5,
    kEndConnection = 6,
    kBarcodeLength = 7,
    kBarcode = 8,
    kPrefix = 9,
    kStop = 10,
    kSendText = 11,
    kPacketKind = 15,
    kEventStarts = 16,
    kEventStops = 17,
    kEventKey = 18,
    kEventText = 19,
};

}  // namespace zorrel
