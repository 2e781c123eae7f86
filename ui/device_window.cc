#include "ui/device_window.h"

#include "ui/palette.h"

namespace ax {
namespace {

bool InsideWindow(int x, int y) {
  return UiRect{0, 0, kDialogWidth, kDialogHeight}.Contains(x, y);
}

}  // namespace

UiRect DeviceLabelRect(int index) {
  return UiRect{20, 60 + 32 * index, 360, 22};
}

std::u16string DeviceLabelText(const DeviceEntry& device) {
  size_t cut = std::min<size_t>(device.name.size(), 60);
  // Keep a character whole rather than leave half of a surrogate pair at the end.
  if (cut == 60 && cut < device.name.size() && device.name[cut - 1] >= 0xD800 &&
      device.name[cut - 1] <= 0xDBFF)
    --cut;
  std::u16string text = device.name.substr(0, cut);
  if (device.rates[0] != 0) {
    text += u"  dsd 2.8";
    if (device.rates[1] != 0) text += u"/5.6";
    if (device.rates[2] != 0) text += u"/11.2";
    text += u" MHz";
  }
  return text;
}

std::vector<DeviceEntry> ListDevices(const EngineEntries& engine) {
  std::vector<DeviceEntry> devices;
  for (uint32_t number = 0; number < kMaxDevices; ++number) {
    std::optional<std::u16string> name = QueryDeviceName(engine, number);
    if (!name) break;
    RateProbe probe = ProbeDeviceRates(engine, number);
    devices.push_back(DeviceEntry{static_cast<uint8_t>(number), *name, probe.rates});
  }
  return devices;
}

DeviceWindowModel::DeviceWindowModel(std::vector<DeviceEntry> devices) {
  for (size_t i = 0; i < devices.size() && i < kMaxDevices; ++i) {
    const bool dsd = devices[i].SupportsDsd();
    labels_.push_back(Label{devices[i], DeviceLabelText(devices[i]),
                            DeviceLabelRect(static_cast<int>(i)),
                            dsd ? kPalette.dialog_text : kPalette.unsupported_device});
  }
}

std::vector<size_t> DeviceWindowModel::OnLeftPress(int x, int y) {
  if (outcome_ != Outcome::kOpen || !InsideWindow(x, y)) return {};
  for (const Label& label : labels_) {
    if (label.rect.Contains(x, y) && label.device.SupportsDsd()) {
      chosen_ = label.device;
      outcome_ = Outcome::kChosen;
      return {};
    }
  }
  if (kDeviceCloseRect.Contains(x, y)) outcome_ = Outcome::kClosed;
  return {};
}

std::vector<size_t> DeviceWindowModel::OnMouseMove(int x, int y) {
  std::vector<size_t> changed;
  if (outcome_ != Outcome::kOpen || !InsideWindow(x, y)) return changed;
  for (size_t i = 0; i < labels_.size(); ++i) {
    Label& label = labels_[i];
    const bool over = label.rect.Contains(x, y);
    if (over && label.colour == kPalette.dialog_text) {
      label.colour = kPalette.dialog_hover;
      changed.push_back(i);
    } else if (!over && label.colour == kPalette.dialog_hover) {
      label.colour = kPalette.dialog_text;
      changed.push_back(i);
    }
  }
  return changed;
}

void DeviceWindowModel::OnEscape(int x, int y) {
  if (outcome_ == Outcome::kOpen && InsideWindow(x, y)) outcome_ = Outcome::kClosed;
}

void DeviceWindowModel::OnCloseRequest() {
  if (outcome_ == Outcome::kOpen) outcome_ = Outcome::kClosed;
}

}  // namespace ax
