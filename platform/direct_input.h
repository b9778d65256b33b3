#pragma once

#include <cstdint>

// A small input-device layer in the manner of DirectInput 5, for Linux.
//
// A device system (DirectInput) is created once; it lists attached game
// controllers and creates devices by identity. A device is given a
// cooperative level, a data format and (a joystick) axis properties, is
// acquired, and then reads its whole state on demand into a fixed record.
// Every call answers a result code: negative codes are failures, and
// InputResultName gives a code's symbolic name for log lines.
//
// The real backend reads the keyboard and the mouse from the X server named
// by $DISPLAY (the whole key map as 256 scan-code bytes, the pointer's
// movement since the last read and its buttons) and the first game
// controller from the Linux joystick interface (/dev/input/js*). Devices are
// always shared (non-exclusive) and read in the background: other programs
// keep the keyboard. Tests install a backend of their own through
// SetDirectInputFactory.
//
// GUI thread only; nothing here is locked.

namespace platform {

// An opaque handle of the running program; non-null once it has started.
using InstanceHandle = void*;
// An opaque handle of the main window; non-null once the window exists.
using WindowHandle = void*;

using InputResult = int32_t;

constexpr InputResult kInputCode(uint32_t bits) { return static_cast<InputResult>(bits); }

// Success codes.
constexpr InputResult DI_OK = 0;
constexpr InputResult DI_NOEFFECT = 1;  // nothing to do, e.g. already acquired
// Failure codes.
constexpr InputResult DIERR_INPUTLOST = kInputCode(0x8007001E);
constexpr InputResult DIERR_NOTACQUIRED = kInputCode(0x8007000C);
constexpr InputResult DIERR_INVALIDPARAM = kInputCode(0x80070057);
constexpr InputResult DIERR_DEVICENOTREG = kInputCode(0x80040154);
constexpr InputResult DIERR_NOTINITIALIZED = kInputCode(0x80070015);
constexpr InputResult DIERR_OTHERAPPHASPRIO = kInputCode(0x80070005);
constexpr InputResult DIERR_OUTOFMEMORY = kInputCode(0x8007000E);
constexpr InputResult DIERR_OLDDIRECTINPUTVERSION = kInputCode(0x8007047E);
constexpr InputResult DIERR_NOINTERFACE = kInputCode(0x80004002);
constexpr InputResult DIERR_UNSUPPORTED = kInputCode(0x80004001);
constexpr InputResult DIERR_GENERIC = kInputCode(0x80004005);

constexpr bool InputFailed(InputResult result) { return result < 0; }

// The symbolic name of a result code: "DI_OK", "DIERR_INPUTLOST", ... for
// the codes above, "Unknown" for any other.
const char* InputResultName(InputResult result);

// The interface version the program asks for.
constexpr uint32_t DIRECTINPUT_VERSION = 0x0500;

// The identity of a device. kind 0 is no device (what a joystick identity
// holds before an enumeration found one).
struct DeviceGuid {
  uint32_t kind;
  int32_t index;
};
constexpr bool operator==(const DeviceGuid& a, const DeviceGuid& b) {
  return a.kind == b.kind && a.index == b.index;
}
constexpr DeviceGuid GUID_NULL{0, 0};
constexpr DeviceGuid GUID_SysKeyboard{1, 0};
constexpr DeviceGuid GUID_SysMouse{2, 0};
// A joystick's identity: kind 3, index = the number of its /dev/input/js*.
constexpr uint32_t kJoystickGuidKind = 3;

// What an enumeration reports of one device.
struct DIDEVICEINSTANCEA {
  DeviceGuid guidInstance;
  char tszProductName[260];  // zero-terminated
};

// Enumeration: device types, flags and the callback's answers.
constexpr uint32_t DIDEVTYPE_JOYSTICK = 4;
constexpr uint32_t DIEDFL_ATTACHEDONLY = 1;
constexpr int DIENUM_STOP = 0;
constexpr int DIENUM_CONTINUE = 1;
using EnumDevicesCallback = int (*)(const DIDEVICEINSTANCEA* instance, void* context);

// Cooperative level flags.
constexpr uint32_t DISCL_EXCLUSIVE = 0x1;
constexpr uint32_t DISCL_NONEXCLUSIVE = 0x2;
constexpr uint32_t DISCL_FOREGROUND = 0x4;
constexpr uint32_t DISCL_BACKGROUND = 0x8;

// Data formats: which record GetDeviceState fills, and its size in bytes.
struct DataFormat {
  int kind;
  uint32_t stateSize;
};
constexpr DataFormat c_dfDIKeyboard{1, 256};
constexpr DataFormat c_dfDIMouse{2, 16};
constexpr DataFormat c_dfDIJoystick{3, 80};

// The mouse record: movement since the last read (y downward) and buttons
// 0 left, 1 right, 2 middle; a held button has bit value 0x80 set.
struct DIMOUSESTATE {
  int32_t lX;
  int32_t lY;
  int32_t wheel;  // unused here, 0
  uint8_t rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16, "mouse record size");

// The joystick record: the x and y axes in the range set by DIPROP_RANGE,
// six further axes (unused here, 0), four hat switches (unused here, 0) and
// 32 buttons (bit value 0x80 set while held).
struct DIJOYSTATE {
  int32_t lX;
  int32_t lY;
  int32_t otherAxes[6];
  uint32_t hats[4];
  uint8_t rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80, "joystick record size");

// Axis properties, addressed by the axis's offset in DIJOYSTATE.
constexpr int DIPROP_RANGE = 4;
constexpr int DIPROP_DEADZONE = 5;
constexpr uint32_t DIPH_BYOFFSET = 1;
constexpr uint32_t DIJOFS_X = 0;
constexpr uint32_t DIJOFS_Y = 4;

struct DIPROPHEADER {
  uint32_t dwSize;        // size of the whole property record
  uint32_t dwHeaderSize;  // 16
  uint32_t dwObj;         // axis offset
  uint32_t dwHow;         // DIPH_BYOFFSET
};
// DIPROP_RANGE: the values the axis reports from one end to the other.
struct DIPROPRANGE {
  DIPROPHEADER diph;
  int32_t lMin;
  int32_t lMax;
};
static_assert(sizeof(DIPROPRANGE) == 24, "range record size");
// DIPROP_DEADZONE: the middle part of the axis, in 1/10000 of its travel,
// that reads as the centre.
struct DIPROPDWORD {
  DIPROPHEADER diph;
  uint32_t dwData;
};
static_assert(sizeof(DIPROPDWORD) == 20, "dword property record size");

// The second-version interface of a device. The program only releases it.
class DirectInputDevice2 {
 public:
  virtual void Release() = 0;

 protected:
  virtual ~DirectInputDevice2() = default;
};

// One device. Release deletes it (unacquired or not).
class DirectInputDevice {
 public:
  virtual InputResult SetCooperativeLevel(WindowHandle window, uint32_t flags) = 0;
  virtual InputResult SetDataFormat(const DataFormat& format) = 0;
  virtual InputResult SetProperty(int property, const DIPROPHEADER* header) = 0;
  // DI_OK, or DI_NOEFFECT when already acquired.
  virtual InputResult Acquire() = 0;
  virtual InputResult Unacquire() = 0;
  // Fills `size` bytes at `data` with the record of the data format (size
  // must be the format's). DIERR_INPUTLOST when the device was lost (for
  // example unplugged) and must be acquired again; DIERR_NOTACQUIRED before
  // Acquire.
  virtual InputResult GetDeviceState(uint32_t size, void* data) = 0;
  // The second-version interface, or DIERR_NOINTERFACE with *out null.
  virtual InputResult QueryInterface2(DirectInputDevice2** out) = 0;
  virtual void Release() = 0;

 protected:
  virtual ~DirectInputDevice() = default;
};

// The device system. Release deletes it.
class DirectInput {
 public:
  // Calls `callback` for each device of `deviceType`, first to last, until
  // it answers DIENUM_STOP. With no such device it succeeds without a call.
  virtual InputResult EnumDevices(uint32_t deviceType, EnumDevicesCallback callback, void* context,
                                  uint32_t flags) = 0;
  // Creates the device of `guid` into *device (null on failure).
  // DIERR_DEVICENOTREG for an identity that names no device (GUID_NULL).
  virtual InputResult CreateDevice(const DeviceGuid& guid, DirectInputDevice** device, void* outer) = 0;
  virtual void Release() = 0;

 protected:
  virtual ~DirectInput() = default;
};

// Creates the device system of the installed backend into *out (null on
// failure).
InputResult DirectInputCreate(InstanceHandle instance, uint32_t version, DirectInput** out, void* outer);

// The backend that DirectInputCreate uses; null restores the real one.
using DirectInputFactory = InputResult (*)(InstanceHandle instance, uint32_t version, DirectInput** out);
void SetDirectInputFactory(DirectInputFactory factory);

}  // namespace platform
