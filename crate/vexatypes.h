#pragma once
// Small enumerations shared by the device model, the views and the dialogs,
// and the helpers for the per-channel supervision-behaviour integer.

#include <QMetaType>

// Connection state of one module, written only by the main window.
enum class ModuleConnectionState : int {
    Unknown = 0,
    Connecting = 1,
    Connected = 2,
    NotConnected = 3,
};

// What a channel does on a supervised incident (trip, external inhibit).
// Values 0 to 3 are the 2-bit fields of the supervision behaviour.
enum OutputSupervisionAction : int {
    ignoreFailure = 0,   // ignore the incident
    rampDownChannel = 1, // ramp the channel down
    shutDownChannel = 2, // switch the channel off without ramp
    shutDownModule = 3,  // switch the whole module off without ramp
    delayedTripOff = 4,  // only for the delayed trip: no delayed trip at all
};

enum LoadResistor : int {
    NoResistor = 0,
    R1 = 1,
    R2 = 2,
    R1R2 = 3,
};

// Passed through unchanged to a backend that knows factory operations; the
// main window switches factory mode with these two values.
enum FactoryMode : int {
    FactoryModeOff = 0,
    FactoryModeOn = 8,
};

// Passed through unchanged to a backend that knows measurement ranges.
enum CurrentMeasurementRange : int {
    CurrentRangeDefault = 0,
};

Q_DECLARE_METATYPE(ModuleConnectionState)
Q_DECLARE_METATYPE(OutputSupervisionAction)
Q_DECLARE_METATYPE(LoadResistor)
Q_DECLARE_METATYPE(FactoryMode)
Q_DECLARE_METATYPE(CurrentMeasurementRange)

// The supervision-behaviour integer the access library keeps per channel:
// bits 6-7 the delayed-trip action, bits 12-13 the external-inhibit action.
// Writing one field keeps every other bit of the cached integer.
namespace SupervisionBehavior
{

inline constexpr int DelayedTripShift = 6;
inline constexpr int ExternalInhibitShift = 12;

inline constexpr OutputSupervisionAction field(int behavior, int shift)
{
    return OutputSupervisionAction((behavior >> shift) & 0x3);
}

// The action is taken modulo 4: delayedTripOff (4) writes 0 ("ignore").
inline constexpr int withField(int behavior, int shift, int action)
{
    return (behavior & ~(0x3 << shift)) | ((action & 0x3) << shift);
}

inline constexpr OutputSupervisionAction delayedTripAction(int behavior)
{
    return field(behavior, DelayedTripShift);
}

inline constexpr OutputSupervisionAction externalInhibitAction(int behavior)
{
    return field(behavior, ExternalInhibitShift);
}

inline constexpr int withDelayedTripAction(int behavior, int action)
{
    return withField(behavior, DelayedTripShift, action);
}

inline constexpr int withExternalInhibitAction(int behavior, int action)
{
    return withField(behavior, ExternalInhibitShift, action);
}

} // namespace SupervisionBehavior

namespace VexaTypes
{
// Registers every value type of the device model for queued connections.
// Each status-word type also registers itself at load time; calling this
// makes sure the enumerations are known as well.
void registerMetaTypes();
} // namespace VexaTypes
