#include "frontends/zorrel/zorrel_control.h"

namespace zorrel {

namespace {

QString fromBytes(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant int16Result(int value) {
    return QVariant::fromValue<qint16>(static_cast<qint16>(value));
}
QVariant int32Result(long value) {
    return QVariant::fromValue<qint32>(static_cast<qint32>(value));
}

}  // namespace

ZorrelControl::ZorrelControl(std::string fileDirectory, HostServerLimits limits)
    : server_(std::move(fileDirectory), limits) {}

QVariant ZorrelControl::invoke(int dispatchId, QVariantList& args) {
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
            const QByteArray bytes = text->toLatin1();
            const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            return int32Result(dispatchId == kSendText ? server_.sendText(view)
                                                       : server_.sendFile(view));
        }
        default:
            return args.isEmpty() ? withoutArguments(dispatchId) : QVariant();
    }
}

QVariant ZorrelControl::setMessage(const QVariantList& args) {
    const auto text = args.size() == 2 ? frontends::stringArgument(args[0]) : std::nullopt;
    const auto length = args.size() == 2 ? frontends::int32Argument(args[1]) : std::nullopt;
    if (!text || !length || *length < 0)
        return {};
    message_ = *text;
    messageLength_ = std::min<int>(*length, static_cast<int>(text->size()));
    return int16Result(1);
}

QVariant ZorrelControl::start(const QVariantList& args) {
    const auto port = args.size() == 1 ? frontends::int32Argument(args[0]) : std::nullopt;
    if (!port || *port < 1 || *port > 65535)
        return {};
    return int16Result(server_.start(static_cast<std::uint16_t>(*port)) ? 1 : 0);
}

QVariant ZorrelControl::withoutArguments(int dispatchId) {
    switch (dispatchId) {
        case kPoll:
            return int16Result(server_.poll());
        case kTrivialText:
            return fromBytes(server_.trivialText());
        case kPacketKind:
            return int16Result(server_.packetKind());
        case kPrefix:
            return fromBytes(server_.productQuery().prefix);
        case kBarcode:
            return fromBytes(server_.productQuery().barcode);
        case kBarcodeLength:
            return int32Result(static_cast<long>(server_.productQuery().barcode.size()));
        case kEventStarts:
            return int32Result(static_cast<long>(server_.event().newStarts));
        case kEventStops:
            return int32Result(static_cast<long>(server_.event().newStops));
        case kEventKey:
            return int32Result(static_cast<long>(server_.event().keyCode));
        case kEventText:
            return fromBytes(server_.event().text);
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

void registerZorrelControl(const QString& fileDirectory) {
    frontends::registerControl(frontends::kZorrelControlName, [dir = fileDirectory.toStdString()] {
        return std::make_unique<ZorrelControl>(dir);
    });
}

}  // namespace zorrel
