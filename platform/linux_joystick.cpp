// Game controllers through the Linux joystick interface: the device files
// js0, js1, ... of the joystick folder, each a non-blocking stream of
// js_event records (axis moves and button changes; on opening, one record
// per axis and button with its current state).

#include <fcntl.h>
#include <linux/joystick.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/input_backends.h"

namespace platform {

namespace {

constexpr int kMaxJoysticks = 32;
// A js axis reports -32767 .. 32767 (some drivers also -32768).
constexpr int kAxisEnd = 32767;
// The dead zone is given in 1/10000 of the travel from the centre to an end.
constexpr uint32_t kDeadZoneUnits = 10000;
constexpr int kButtonCount = 32;

std::string& js_Folder() {
  static std::string folder = "/dev/input";
  return folder;
}

std::string js_Path(int index) { return js_Folder() + "/js" + std::to_string(index); }

int js_Open(const std::string& path) { return open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }

// The axis properties of DIPROP_RANGE and DIPROP_DEADZONE; the defaults are
// those of a fresh device.
struct js_Axis {
  int32_t min = 0;
  int32_t max = 65535;
  uint32_t deadZone = 0;
};

// A raw reading in the axis's range. Within the dead zone around the centre
// the axis reads as the centre; beyond it the value ramps linearly from the
// centre to the end, so the reading has no jump at the zone's edge.
int32_t js_Scale(int raw, const js_Axis& axis) {
  const double centre = (static_cast<double>(axis.min) + axis.max) / 2.0;
  const double magnitude = std::min(std::abs(raw), kAxisEnd);
  const double dead = static_cast<double>(kAxisEnd) * axis.deadZone / kDeadZoneUnits;
  double t = 0.0;
  if (magnitude > dead) t = (magnitude - dead) / (kAxisEnd - dead);
  const double end = raw < 0 ? axis.min : axis.max;
  return static_cast<int32_t>(std::lround(centre + t * (end - centre)));
}

class LinuxJoystick : public BasicInputDevice {
 public:
  LinuxJoystick(std::string path, int fd)
      : BasicInputDevice(c_dfDIJoystick), path_(std::move(path)), fd_(fd) {}

  // DIPROP_RANGE (lMin < lMax) and DIPROP_DEADZONE (at most 10000) of the x
  // or the y axis, addressed by offset.
  InputResult SetProperty(int property, const DIPROPHEADER* header) override {
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER) || header->dwHow != DIPH_BYOFFSET) {
      return DIERR_INVALIDPARAM;
    }
    if (header->dwObj != DIJOFS_X && header->dwObj != DIJOFS_Y) return DIERR_INVALIDPARAM;
    js_Axis& axis = axes_[header->dwObj == DIJOFS_X ? 0 : 1];
    if (property == DIPROP_RANGE) {
      const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
      if (header->dwSize != sizeof(DIPROPRANGE) || range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
      axis.min = range->lMin;
      axis.max = range->lMax;
      return DI_OK;
    }
    if (property == DIPROP_DEADZONE) {
      const auto* value = reinterpret_cast<const DIPROPDWORD*>(header);
      if (header->dwSize != sizeof(DIPROPDWORD) || value->dwData > kDeadZoneUnits) return DIERR_INVALIDPARAM;
      axis.deadZone = value->dwData;
      return DI_OK;
    }
    return DIERR_UNSUPPORTED;
  }

 protected:
  ~LinuxJoystick() override { CloseFile(); }

  // Re-opens the device file after lost input; the driver then reports the
  // current state of every axis and button again.
  InputResult OnAcquire() override {
    if (fd_ >= 0) return DI_OK;
    fd_ = js_Open(path_);
    if (fd_ < 0) return DIERR_INPUTLOST;
    std::fill(std::begin(raw_), std::end(raw_), 0);
    std::fill(std::begin(buttons_), std::end(buttons_), false);
    return DI_OK;
  }

  InputResult ReadState(void* data) override {
    if (!Drain()) {
      CloseFile();
      return DIERR_INPUTLOST;
    }
    auto* state = static_cast<DIJOYSTATE*>(data);
    state->lX = js_Scale(raw_[0], axes_[0]);
    state->lY = js_Scale(raw_[1], axes_[1]);
    for (int i = 0; i < kButtonCount; ++i) state->rgbButtons[i] = buttons_[i] ? 0x80 : 0;
    return DI_OK;
  }

 private:
  // Applies every waiting event. False when the device is gone: a read error
  // (ENODEV once unplugged) or the end of the stream.
  bool Drain() {
    js_event events[64];
    for (;;) {
      const ssize_t n = read(fd_, events, sizeof events);
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
      }
      if (n == 0) return false;
      const size_t count = static_cast<size_t>(n) / sizeof(js_event);
      for (size_t i = 0; i < count; ++i) Apply(events[i]);
    }
  }

  void Apply(const js_event& event) {
    const int type = event.type & ~JS_EVENT_INIT;
    if (type == JS_EVENT_AXIS && event.number < 2) raw_[event.number] = event.value;
    if (type == JS_EVENT_BUTTON && event.number < kButtonCount) buttons_[event.number] = event.value != 0;
  }

  void CloseFile() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

  std::string path_;
  int fd_;
  js_Axis axes_[2];
  int raw_[2] = {0, 0};
  bool buttons_[kButtonCount] = {};
};

}  // namespace

InputResult EnumLinuxJoysticks(EnumDevicesCallback callback, void* context) {
  for (int index = 0; index < kMaxJoysticks; ++index) {
    const int fd = js_Open(js_Path(index));
    if (fd < 0) continue;
    DIDEVICEINSTANCEA instance{};
    instance.guidInstance = DeviceGuid{kJoystickGuidKind, index};
    // The driver's name is not terminated when it is cut to the buffer.
    if (ioctl(fd, JSIOCGNAME(sizeof instance.tszProductName - 1), instance.tszProductName) < 0) {
      std::snprintf(instance.tszProductName, sizeof instance.tszProductName, "Joystick js%d", index);
    }
    close(fd);
    if (callback(&instance, context) == DIENUM_STOP) break;
  }
  return DI_OK;
}

InputResult CreateLinuxJoystick(int index, DirectInputDevice** out) {
  if (out == nullptr) return DIERR_INVALIDPARAM;
  *out = nullptr;
  if (index < 0 || index >= kMaxJoysticks) return DIERR_DEVICENOTREG;
  std::string path = js_Path(index);
  const int fd = js_Open(path);
  if (fd < 0) return DIERR_DEVICENOTREG;
  *out = new LinuxJoystick(std::move(path), fd);
  return DI_OK;
}

void SetJoystickFolder(const std::string& folder) { js_Folder() = folder.empty() ? "/dev/input" : folder; }

}  // namespace platform
