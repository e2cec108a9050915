// SPDX-License-Identifier: Apache-2.0
// Stand-in for the outside control ZORRELLib.Zorrel: a small host server for
// units behind one late-bound entry point. Its methods, by dispatch id:
//
//   5  (text, length)  stores the message text and its length; 1
//   1  (port)          listens on `port` of every address: 1 listening, 0 not
//                      (e.g. the port is taken)
//   2  ()              poll, never blocking for long: takes at most one
//                      waiting unit and reads its request (which must arrive
//                      within half a second); 1 trivial text, 2 a frame,
//                      0 nothing, -1 a connection that delivered no request
//   3  ()              the trivial request's text
//  11  (text)          answers the request in its own form (trivial: the text
//                      and its zero byte; frame: a DATA TEXT frame); bytes sent,
//                      0 without a connection, -1 when the send failed
//  15  ()              the frame's kind: its 1-based place in the type table
//                      (7 PROD, 10 EVNT); 0 for trivial text
//   9, 8, 7 ()         a PROD request's prefix (text before the first tab),
//                      barcode (the rest) and the barcode's length
//  16, 17, 18, 19 ()   an EVNT request's new starts, new stops, key code and
//                      text (masks as 32-bit integers, bit for bit)
//   4  (file name)     sends that file of the program's folder as a DATA FILE
//                      image frame; bytes sent, 0 without a connection, -1
//                      when the file cannot be sent
//   6  ()              ends the poll's connection; 1
//  10  ()              stops listening and closes everything; 1
//
// Any other id, or arguments of the wrong count or kind, give an empty Value
// and do nothing.
#pragma once

#include <string>
#include <string_view>

#include "frontends/control/control.h"
#include "frontends/zorrel/dispatch_ids.h"
#include "frontends/zorrel/host_server.h"

namespace zorrel {

class ZorrelControl : public frontends::Control {
  public:
    explicit ZorrelControl(std::string fileDirectory, HostServerLimits limits = {});
    frontends::Value invoke(int dispatchId, frontends::Arguments& args) override;

    // The text stored by id 5, cut to its stored length.
    std::string message() const { return message_.substr(0, messageLength_); }

  private:
    frontends::Value withoutArguments(int dispatchId);
    frontends::Value start(const frontends::Arguments& args);
    frontends::Value setMessage(const frontends::Arguments& args);

    HostServer server_;
    std::string message_;
    std::size_t messageLength_ = 0;
};


// Registers ZorrelControl under its name, ZORRELLib.Zorrel, serving files
// from `fileDirectory` (UTF-8).
void registerZorrelControl(const std::string& fileDirectory);

}  // namespace zorrel
