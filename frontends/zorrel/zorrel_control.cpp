// SPDX-License-Identifier: Apache-2.0
#include "frontends/zorrel/zorrel_control.h"

#include <algorithm>

namespace zorrel {

using frontends::Arguments;
using frontends::Value;

namespace {

Value text(std::string_view bytes) {
    return std::string(bytes);
}

Value int16Result(int value) {
    return static_cast<std::int16_t>(value);
}
Value int32Result(long value) {
    return static_cast<std::int32_t>(value);
}

}  // namespace

ZorrelControl::ZorrelControl(std::string fileDirectory, HostServerLimits limits)
    : server_(std::move(fileDirectory), limits) {}

Value ZorrelControl::invoke(int dispatchId, Arguments& args) {
    switch (dispatchId) {
        case kSetMessage:
            return setMessage(args);
        case kStart:
            return start(args);
        case kSendText:
        case kSendFile: {
            const auto text = args.size() == 1 ? frontends::stringArgument(args[0]) : std::nullopt;
            if (!text)
                return {};
            return int32Result(dispatchId == kSendText ? server_.sendText(*text)
                                                       : server_.sendFile(*text));
        }
        default:
            return args.empty() ? withoutArguments(dispatchId) : Value();
    }
}

Value ZorrelControl::setMessage(const Arguments& args) {
    const auto text = args.size() == 2 ? frontends::stringArgument(args[0]) : std::nullopt;
    const auto length = args.size() == 2 ? frontends::int32Argument(args[1]) : std::nullopt;
    if (!text || !length || *length < 0)
        return {};
    message_ = *text;
    messageLength_ = std::min<std::size_t>(static_cast<std::size_t>(*length), text->size());
    return int16Result(1);
}

Value ZorrelControl::start(const Arguments& args) {
    const auto port = args.size() == 1 ? frontends::int32Argument(args[0]) : std::nullopt;
    if (!port || *port < 1 || *port > 65535)
        return {};
    return int16Result(server_.start(static_cast<std::uint16_t>(*port)) ? 1 : 0);
}

Value ZorrelControl::withoutArguments(int dispatchId) {
    switch (dispatchId) {
        case kPoll:
            return int16Result(server_.poll());
        case kTrivialText:
            return text(server_.trivialText());
        case kPacketKind:
            return int16Result(server_.packetKind());
        case kPrefix:
            return text(server_.productQuery().prefix);
        case kBarcode:
            return text(server_.productQuery().barcode);
        case kBarcodeLength:
            return int32Result(static_cast<long>(server_.productQuery().barcode.size()));
        case kEventStarts:
            return int32Result(static_cast<long>(server_.event().newStarts));
        case kEventStops:
            return int32Result(static_cast<long>(server_.event().newStops));
        case kEventKey:
            return int32Result(static_cast<long>(server_.event().keyCode));
        case kEventText:
            return text(server_.event().text);
        case kEndConnection:
            server_.endConnection();
            return int16Result(1);
        case kStop:
            server_.stop();
            return int16Result(1);
        default:
            return {};
    }
}

void registerZorrelControl(const std::string& fileDirectory) {
    frontends::registerControl(frontends::kZorrelControlName, [fileDirectory] {
        return std::make_unique<ZorrelControl>(fileDirectory);
    });
}

}  // namespace zorrel
