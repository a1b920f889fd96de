#include "app/BaseDialog.h"

#include <new>

INT_PTR TBaseDialog::RunModal(HINSTANCE instance, int templateId, HWND owner)
{
    instance_ = instance;
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, &TBaseDialog::RouteMessage,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TBaseDialog::RouteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dialog = reinterpret_cast<TBaseDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<TBaseDialog*>(lParam);
        dialog->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dialog));
    }
    if (!dialog)
        return 0;  // messages before WM_INITDIALOG (WM_SETFONT, ...) reach no object
    // No C++ exception may unwind through the system's dialog code: a job
    // that runs out of memory ends here with a message instead.
    try {
        return dialog->HandleMessage(window, message, wParam, lParam);
    } catch (const std::bad_alloc&) {
        MessageBoxA(window, "There is not enough memory to finish this job.", "Problem", MB_OK);
    } catch (...) {
        MessageBoxA(window, "The job stopped because of an unexpected error.", "Problem", MB_OK);
    }
    return 0;
}
