#include "window/win32/fonts.h"

#include <string_view>

#include "win32/error.h"

namespace brisvane::window {

namespace {

constexpr int kPointsPerInch = 72;
constexpr int kDialogFontPoints = 8;
constexpr int kLogFontPoints = 6;
constexpr wchar_t kLogFace[] = L"Terminal";

// A character height in pixels for a size in points; negative asks for the glyphs' height
// without internal leading, as point sizes mean.
LONG PointsToHeight(int points, UINT dpi) {
    return -::MulDiv(points, static_cast<int>(dpi), kPointsPerInch);
}

// Copies a face name into a font description, cut to the room there is.
void SetFaceName(LOGFONTW& font, std::wstring_view face) {
    std::size_t index = 0;
    for (; index < face.size() && index + 1 < LF_FACESIZE; ++index) {
        font.lfFaceName[index] = face[index];
    }
    font.lfFaceName[index] = L'\0';
}

UniqueFont CreateFontFrom(const LOGFONTW& description) {
    UniqueFont font(::CreateFontIndirectW(&description));
    if (!font) {
        ThrowLastError(u"CreateFontIndirectW");
    }
    return font;
}

int CALLBACK NoteFaceFound(const LOGFONTW* /*font*/, const TEXTMETRICW* /*metrics*/,
                           DWORD /*fontType*/, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

bool FaceInstalled(std::wstring_view face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    SetFaceName(query, face);
    bool found = false;
    const UniqueScreenDc screen = GetScreenDc();
    ::EnumFontFamiliesExW(screen.get(), &query, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

}  // namespace

UniqueFont CreateDialogFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = PointsToHeight(kDialogFontPoints, dpi);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    SetFaceName(font, L"MS Shell Dlg 2");
    return CreateFontFrom(font);
}

UniqueFont CreateLogFont(UINT dpi) {
    LOGFONTW font{};
    font.lfHeight = PointsToHeight(kLogFontPoints, dpi);
    font.lfWeight = FW_BOLD;
    font.lfCharSet = OEM_CHARSET;
    font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    if (FaceInstalled(kLogFace)) {
        SetFaceName(font, kLogFace);
    }
    return CreateFontFrom(font);
}

}  // namespace brisvane::window
