#include "window/win32/edit_log_box.h"

#include "win32/window_text.h"

namespace brisvane::window {

Text EditLogBox::GetText() const {
    return WindowText(edit_);
}

void EditLogBox::SetEmptySelection(std::size_t position) {
    ::SendMessageW(edit_, EM_SETSEL, position, static_cast<LPARAM>(position));
}

void EditLogBox::ReplaceSelection(TextView text) {
    const std::wstring replacement = ToWide(text);
    // FALSE: the program's entries are not steps the member could undo.
    ::SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(replacement.c_str()));
}

void EditLogBox::SetEmpty() {
    ::SetWindowTextW(edit_, L"");
}

}  // namespace brisvane::window
