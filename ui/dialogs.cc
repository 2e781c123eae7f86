// The two first-run windows on the screen. Their behaviour is in DeviceWindowModel and
// OptionsWindowModel; here events are turned into model calls and the model is drawn.
#include "ui/dialogs.h"

#include "platform/system.h"
#include "ui/fonts.h"
#include "ui/options_window.h"
#include "ui/palette.h"

namespace ax {

void DrawDialogLabel(platform::Window& window, int element, const UiRect& rect,
                     std::string_view utf8, const platform::Font* font, uint32_t colour,
                     Align align) {
  if (!window.SurfaceRect(element)) window.AddSurface(element, {rect.x, rect.y, rect.w, rect.h});
  canvas::Canvas canvas = window.BeginDraw(element);
  canvas.FillRect({0, 0, canvas.width(), canvas.height()}, canvas::Rgb(kPalette.dialog_background));
  if (font != nullptr) {
    int x = 0;
    if (align == Align::kCentre) x = (canvas.width() - font->TextWidth(utf8)) / 2;
    canvas.Text(x, 0, utf8, *font, canvas::Rgb(colour));
  }
  window.EndDraw(element);
}

platform::Point CursorInWindow(const platform::Display& display, const platform::Window& window) {
  const platform::Point cursor = display.CursorPosition();
  const platform::Point origin = window.Position();
  return {cursor.x - origin.x, cursor.y - origin.y};
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {

void DrawDeviceLabel(platform::Window& window, const Fonts& fonts,
                     const DeviceWindowModel::Label& label, size_t index) {
  DrawDialogLabel(window, kDeviceLabelIdBase + static_cast<int>(index), label.rect,
                  Utf16ToUtf8(label.text), fonts.get(FontId::kDialog), label.colour);
}

}  // namespace

std::optional<DeviceEntry> ChooseAudioDevice(platform::Display& display, const Fonts& fonts,
                                             const EngineEntries& engine) {
  platform::WindowOptions options;
  options.id = kDeviceWindowId;
  options.title = "audio device";
  options.width = kDialogWidth;
  options.height = kDialogHeight;
  options.background = canvas::Rgb(kPalette.dialog_background);
  options.always_on_top = true;
  std::unique_ptr<platform::Window> window = display.OpenWindow(options);
  if (!window) return std::nullopt;

  window->AddSurface(kDeviceCloseId, {kDeviceCloseRect.x, kDeviceCloseRect.y, kDeviceCloseRect.w,
                                      kDeviceCloseRect.h});
  {
    canvas::Canvas close = window->BeginDraw(kDeviceCloseId);
    close.FillRect({0, 0, close.width(), close.height()}, canvas::Rgb(kPalette.dialog_background));
    close.Line(20, 11, 34, 25, canvas::Rgb(kPalette.dialog_text));
    close.Line(20, 25, 34, 11, canvas::Rgb(kPalette.dialog_text));
    window->EndDraw(kDeviceCloseId);
  }
  DrawDialogLabel(*window, kDeviceTitleId, kDeviceTitleRect, "Select ASIO driver",
                  fonts.get(FontId::kDialog), kPalette.dialog_text, Align::kCentre);
  window->SetAccelerators({{0x1B, false, kDialogEscapeCommand}});

  DeviceWindowModel model(ListDevices(engine));
  for (size_t i = 0; i < model.labels().size(); ++i)
    DrawDeviceLabel(*window, fonts, model.labels()[i], i);
  window->Present();

  while (model.outcome() == DeviceWindowModel::Outcome::kOpen) {
    const platform::Event event = display.WaitEvent(20);
    const platform::Point at = CursorInWindow(display, *window);
    switch (event.type) {
      case platform::EventType::kLeftPress:
      case platform::EventType::kLeftDoubleClick:  // a quick second press is a press too
        model.OnLeftPress(at.x, at.y);
        break;
      case platform::EventType::kMouseMove:
        for (size_t i : model.OnMouseMove(at.x, at.y))
          DrawDeviceLabel(*window, fonts, model.labels()[i], i);
        break;
      case platform::EventType::kCommand:
        if (event.command == kDialogEscapeCommand) model.OnEscape(at.x, at.y);
        break;
      case platform::EventType::kCloseRequest:
        model.OnCloseRequest();
        break;
      default:
        break;
    }
  }
  window->SetAccelerators({});
  window.reset();
  if (model.outcome() != DeviceWindowModel::Outcome::kChosen) return std::nullopt;
  platform::SleepMs(20);
  return model.chosen();
}

std::optional<uint8_t> EditOptions(platform::Display& display, const Fonts& fonts,
                                   uint8_t cover_mode) {
  platform::WindowOptions options;
  options.id = kOptionsWindowId;
  options.title = "options";
  options.width = kDialogWidth;
  options.height = kDialogHeight;
  options.background = canvas::Rgb(kPalette.dialog_background);
  options.always_on_top = true;
  std::unique_ptr<platform::Window> window = display.OpenWindow(options);
  if (!window) return std::nullopt;

  OptionsWindowModel model(cover_mode);
  auto draw_start = [&] {
    DrawDialogLabel(*window, kStartId, kStartRect, "Start", fonts.get(FontId::kDialogLarge),
                    model.start_colour());
  };
  auto draw_toggle = [&] {
    DrawDialogLabel(*window, kCoverToggleId, kCoverToggleRect, model.toggle_text(),
                    fonts.get(FontId::kDialog), model.toggle_colour());
  };
  draw_start();
  draw_toggle();
  window->SetAccelerators({{0x1B, false, kDialogEscapeCommand}});
  window->Present();

  while (model.outcome() == OptionsWindowModel::Outcome::kOpen) {
    const platform::Event event = display.WaitEvent(20);
    const platform::Point at = CursorInWindow(display, *window);
    switch (event.type) {
      case platform::EventType::kLeftPress:
      case platform::EventType::kLeftDoubleClick:  // a quick second press is a press too
        if (model.OnLeftPress(at.x, at.y)) draw_toggle();
        break;
      case platform::EventType::kMouseMove:
        if (model.OnMouseMove(at.x, at.y)) {
          draw_toggle();
          draw_start();
        }
        break;
      case platform::EventType::kCommand:
        if (event.command == kDialogEscapeCommand) model.OnEscape(at.x, at.y);
        break;
      case platform::EventType::kCloseRequest:
        model.OnCloseRequest();
        break;
      default:
        break;
    }
  }
  window->SetAccelerators({});
  window.reset();
  if (model.outcome() != OptionsWindowModel::Outcome::kStarted) return std::nullopt;
  platform::SleepMs(20);
  return model.cover_mode();
}

}  // namespace ax
