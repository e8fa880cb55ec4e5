// frmMount, the program's one window, as a native Win32 window. Its controls are a ControlSet,
// built from the control table; the window turns messages into calls on its behaviour and on
// the mount request (main_window.cpp), and gives both the operations they need on the window
// and its controls (main_window_form.cpp). Everything it decides lives in FormBehaviour.
#pragma once

#include <windows.h>

#include <exception>
#include <optional>

#include "mount/mount_workflow.h"
#include "win32/owners.h"
#include "window/control_ids.h"
#include "window/form_behaviour.h"
#include "window/form_view.h"
#include "window/win32/control_set.h"
#include "window/win32/edit_log_box.h"
#include "window/win32/system_services.h"

namespace brisvane::window {

// The organisation whose window it is, and the services the mount request reaches outside the
// window.
struct WindowServices {
    const Organisation& organisation;
    ShareLookup& lookup;
    DriveProbe& probe;
    DriveMapping& mapping;
    // Stand-ins for the system's own boxes and clock; null means the system's.
    MessageBoxFacility* boxes = nullptr;
    Clock* clock = nullptr;
};

class MainWindow final : public FormView, public MountForm {
  public:
    // Creates the window and its controls, hidden; Load shows it, then gives the controls their
    // tooltips.
    MainWindow(HINSTANCE instance, const WindowServices& services);
    ~MainWindow() override;
    // The window's handle refers back to this object.
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The load event: Form_Load. Errors raised by it pass to the caller.
    void Load();

    // Null once the window has been destroyed.
    HWND Handle() const { return window_.get(); }
    HWND Control(ControlId id) const;
    // 0 after a normal end; kFatalErrorExitCode after an error that no handler caught.
    int ExitCode() const { return exitCode_; }

    // FormView
    FrameExtent CredentialFrame() const override;
    FrameExtent AdvancedFrame() const override;
    void SetVersionCaption(TextView caption) override;
    void SetOuterHeight(std::int16_t twips) override;
    void AppendDriveLetter(TextView entry) override;
    void SelectDriveLetter(int index) override;
    void ShowWindow() override;
    void FocusUsername() override;
    CheckValue AdvancedValue() const override;
    void ShowAdvancedFrame(bool visible) override;
    void ClearUsername() override;
    void ClearPassword() override;
    void Unload() override;

    // MountForm
    Text DriveLetterText() const override;
    Text DomainText() const override;
    Text WebSiteText() const override;
    Text UsernameText() const override;
    SecretText PasswordText() const override;
    LogBox& InfoBox() override { return log_; }
    void CloseApp() override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    static LRESULT CALLBACK CredentialBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR subclassId, DWORD_PTR self) noexcept;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // One handler per message. Those that return a value say whether they handled it.
    void OnCommand(int id, int notification);
    void OnCredentialKeyDown(ControlId box, WPARAM key);
    HBRUSH OnCtlColorStatic(HDC dc, HWND control);
    bool OnActivate(WPARAM state);
    void OnNextDialogControl(WPARAM target, bool targetIsWindow);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnNcDestroy();
    // Reports an error that escaped a handler and ends the program.
    void EndAfterFailure(const std::exception_ptr& failure) noexcept;

    void SubclassCredentialBoxes();
    void ApplyDpi(UINT dpi);
    // The window's outer size at the current DPI: the fixed client width, and the outer height
    // last set (before the load, the design height).
    SIZE OuterSize() const;
    void CentreOnScreen();

    MountServices Services();

    HINSTANCE instance_;
    WindowServices services_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    HWND focusBeforeDeactivation_ = nullptr;
    std::optional<std::int16_t> outerHeightTwips_;
    bool centred_ = false;
    bool failed_ = false;
    int exitCode_ = 0;
    EditLogBox log_{nullptr};
    std::optional<SystemMessageBoxes> systemBoxes_;
    SystemClock systemClock_;
    FormBehaviour behaviour_;
    // Outlives the window, whose controls use its fonts until they go with it.
    std::optional<ControlSet> controls_;
    // Last, so that it is destroyed first: nothing the window uses goes before it.
    UniqueAttachedWindow window_;
};

}  // namespace brisvane::window
