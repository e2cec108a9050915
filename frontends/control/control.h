// The windows talk to their outside controls through one late-bound entry
// point, by dispatch id, exactly as they would call a real control's dispatch
// interface: the window never sees the control's own type. Controls are made
// by their registered name, so a test can register a recording fake under the
// same name before the window is built.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>

namespace frontends {

class Control {
  public:
    virtual ~Control() = default;
    // Calls the method with `dispatchId`. Arguments are passed by reference,
    // as the windows pass them. An invalid QVariant means the call failed
    // (unknown id, wrong argument count or kind).
    virtual QVariant invoke(int dispatchId, QVariantList& args) = 0;
};

using ControlMaker = std::function<std::unique_ptr<Control>()>;

// Registered names of the two outside controls.
inline const QString kLumetraControlName = QStringLiteral("LUMETRALib.Lumetra");
inline const QString kZorrelControlName = QStringLiteral("ZORRELLib.Zorrel");

// Registers `maker` under `name`, replacing an earlier registration.
void registerControl(const QString& name, ControlMaker maker);
// Removes the registration of `name` (nothing when there is none).
void unregisterControl(const QString& name);
// A new control of the registered `name`; null when nothing is registered.
std::unique_ptr<Control> createControl(const QString& name);

// Call helpers for the windows: a result converted to the integer type the
// window takes from it; nothing when the call failed or the value is not a
// whole number that fits (a real control's caller would stop with an
// overflow or type-mismatch error there).
std::optional<qint16> toInt16(const QVariant& value);
std::optional<qint32> toInt32(const QVariant& value);

// Argument helpers for the controls: a string argument must be a string; an
// integer argument may be any integer kind whose value fits the type.
std::optional<QString> stringArgument(const QVariant& value);
std::optional<qint16> int16Argument(const QVariant& value);
std::optional<qint32> int32Argument(const QVariant& value);

}  // namespace frontends
