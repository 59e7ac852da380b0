// Constants shared by the integration's source files: the camera's query heads, the display
// colours and the object and event type ids of the type library.
//
// Everything here is a compile-time constant, so any thread may read it without a lock.
#pragma once

namespace qo::vms_server_plugins::analytics::lumo {

// Heads of the camera's parameter queries; "NAME=VALUE&" pairs follow.
inline constexpr char kWriteQuery[] = "WriteParam?action=writeparam&";
inline constexpr char kReadQuery[] = "ReadParam?action=readparam&";

// Names of the colours in which tracked objects are drawn.
inline constexpr char kColorHuman[] = "Green";
inline constexpr char kColorVehicle[] = "Cyan";
inline constexpr char kColorBike[] = "Blue";
inline constexpr char kColorEvented[] = "Red";

inline constexpr char kObjectTypeHuman[] = "qo.lumo.Human";
inline constexpr char kObjectTypeHead[] = "qo.lumo.Head";
inline constexpr char kObjectTypeVehicle[] = "qo.lumo.Vehicle";
inline constexpr char kObjectTypeCar[] = "qo.lumo.Car";
inline constexpr char kObjectTypeTruck[] = "qo.lumo.Truck";
inline constexpr char kObjectTypeBus[] = "qo.lumo.Bus";
inline constexpr char kObjectTypeBicycle[] = "qo.lumo.Bicycle";
inline constexpr char kObjectTypeMotorcycle[] = "qo.lumo.Motorcycle";

inline constexpr char kEventTypeLineCounting[] = "qo.lumo.LineCounting";
// The whole id, as the type library publishes it.
inline constexpr char kEventTypeBehaviorChanged[] = "qo.lumo.BehaviorAnal";
inline constexpr char kEventTypeTampering[] = "qo.lumo.Tampering";
inline constexpr char kEventTypeSettingChanged[] = "qo.lumo.SettingChanged";
inline constexpr char kEventTypeGroup[] = "qo.lumo.Events";
inline constexpr char kEventTypeAppear[] = "qo.lumo.Appear";
inline constexpr char kEventTypeStay[] = "qo.lumo.Stay";
inline constexpr char kEventTypeDirection[] = "qo.lumo.Direction";
inline constexpr char kEventTypeEnter[] = "qo.lumo.Enter";
inline constexpr char kEventTypeExit[] = "qo.lumo.Exit";
inline constexpr char kEventTypeLoitering[] = "qo.lumo.Loitering";
inline constexpr char kEventTypeUnknown[] = "qo.lumo.Unknown";

}  // namespace qo::vms_server_plugins::analytics::lumo
