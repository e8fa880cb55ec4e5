#include "testing/message_box_reader.h"

#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "testing/owners.h"
#include "testing/window_reading.h"

namespace brisvane::test_support {

namespace {

// The window class of every system message box, and the ID of its prompt (on Windows and Wine).
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kBoxPromptId = 0xFFFF;

// The pixels of a rectangle of the screen, or of `icon` drawn on `background`, as 0x00RRGGBB.
class Picture {
  public:
    explicit Picture(SIZE size) : size_(size) {
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = size.cx;
        format.bmiHeader.biHeight = -size.cy;  // top row first
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        const UniqueScreenDc screen = GetScreenDc();
        dc_.reset(CreateCompatibleDC(screen.get()));
        bitmap_.reset(CreateDIBSection(dc_.get(), &format, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (dc_ == nullptr || bitmap_ == nullptr) {
            throw std::runtime_error("cannot make a picture");
        }
        SelectObject(dc_.get(), bitmap_.get());
    }

    static Picture OfScreen(const RECT& area) {
        Picture picture({area.right - area.left, area.bottom - area.top});
        const UniqueScreenDc screen = GetScreenDc();
        BitBlt(picture.dc_.get(), 0, 0, picture.size_.cx, picture.size_.cy, screen.get(), area.left,
               area.top, SRCCOPY);
        return picture;
    }

    static Picture OfIcon(LPCWSTR systemIcon, SIZE size, COLORREF background) {
        Picture picture(size);
        const RECT all{0, 0, size.cx, size.cy};
        FillRect(picture.dc_.get(), &all, UniqueBrush(CreateSolidBrush(background)).get());
        DrawIconEx(picture.dc_.get(), 0, 0, LoadIconW(nullptr, systemIcon), 0, 0, 0, nullptr,
                   DI_NORMAL);
        return picture;
    }

    std::vector<std::uint32_t> Pixels() const {
        GdiFlush();
        const auto* first = static_cast<const std::uint32_t*>(bits_);
        std::vector<std::uint32_t> pixels(first, first + size_.cx * size_.cy);
        for (std::uint32_t& pixel : pixels) {
            pixel &= 0x00FFFFFF;
        }
        return pixels;
    }

    // The top-left pixel as a COLORREF.
    COLORREF Corner() const {
        const std::uint32_t pixel = Pixels().at(0);
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }

  private:
    SIZE size_;
    void* bits_ = nullptr;  // owned by bitmap_
    UniqueBitmap bitmap_;   // destroyed after the DC it is selected into
    UniqueMemoryDc dc_;
};

// The icon a box shows. Its handle may belong to another process, where this process cannot
// use it, so the icon is recognised by its pixels on the screen: they must equal one of the
// system icons drawn on the same background. Null: the box has no icon.
std::optional<BoxIcon> RecogniseIcon(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static" ||
            (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            continue;
        }
        if (Ask(child, STM_GETICON) == 0) {
            return BoxIcon::kNone;
        }
        RECT area{};
        GetWindowRect(child, &area);
        const Picture shown = Picture::OfScreen(area);
        const SIZE size{area.right - area.left, area.bottom - area.top};
        for (const auto& [systemIcon, icon] : {std::pair{IDI_EXCLAMATION, BoxIcon::kExclamation},
                                               std::pair{IDI_INFORMATION, BoxIcon::kInformation},
                                               std::pair{IDI_ERROR, BoxIcon::kError}}) {
            if (Picture::OfIcon(systemIcon, size, shown.Corner()).Pixels() == shown.Pixels()) {
                return icon;
            }
        }
        return std::nullopt;  // not painted yet, or not an icon we know
    }
    return BoxIcon::kNone;
}

}  // namespace

std::optional<SeenMessageBox> WaitForMessageBox(DWORD processId,
                                                std::chrono::milliseconds patience) {
    HWND box = nullptr;
    if (!WaitUntil(
            [&] {
                box = FindTopLevel(processId, {}, kDialogClass);
                return box != nullptr;
            },
            patience)) {
        return std::nullopt;
    }
    SeenMessageBox seen{box, GetWindow(box, GW_OWNER), TextOf(box),
                        TextOf(GetDlgItem(box, kBoxPromptId)), BoxIcon::kUnrecognised};
    WaitUntil([&] {
        const std::optional<BoxIcon> icon = RecogniseIcon(box);
        seen.icon = icon.value_or(BoxIcon::kUnrecognised);
        return icon.has_value();
    });
    return seen;
}

void Acknowledge(const SeenMessageBox& box) {
    PostMessageW(box.handle, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box.handle, IDOK)));
    if (!WaitUntil([&] { return !IsWindow(box.handle); })) {
        throw std::runtime_error("the message box stayed open after OK");
    }
}

}  // namespace brisvane::test_support
