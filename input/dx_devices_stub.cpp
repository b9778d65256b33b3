// Temporary: the device globals until the devices land.
#include "input/dx_devices.h"
DXKeyboard* g_keyboard = nullptr;
DXMouse* g_mouse = nullptr;
DXJoystick* g_joystick = nullptr;
DXInputDevice::DXInputDevice(platform::InstanceHandle i, platform::WindowHandle w) : instance(i), window(w) {}
DXInputDevice::~DXInputDevice() {}
DXKeyboard::DXKeyboard(platform::InstanceHandle i, platform::WindowHandle w) : DXInputDevice(i, w) {}
InputState* DXKeyboard::Poll() { return nullptr; }
MouseSample* DXKeyboard::PollMotion(BitArray*) { return nullptr; }
void DXKeyboard::Init() {}
DXMouse::DXMouse(platform::InstanceHandle i, platform::WindowHandle w) : DXInputDevice(i, w) {}
InputState* DXMouse::Poll() { return nullptr; }
MouseSample* DXMouse::PollMotion(BitArray*) { return nullptr; }
void DXMouse::Init() {}
DXJoystick::DXJoystick(platform::InstanceHandle i, platform::WindowHandle w) : DXInputDevice(i, w) {}
DXJoystick::~DXJoystick() {}
InputState* DXJoystick::Poll() { return nullptr; }
MouseSample* DXJoystick::PollMotion(BitArray*) { return nullptr; }
void DXJoystick::Init() {}
