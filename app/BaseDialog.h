#pragma once
#include <windows.h>

// Ties a dialog template to an object: RouteMessage, the one dialog procedure
// of the tool, hands every message after WM_INITDIALOG to HandleMessage.
class TBaseDialog {
public:
    TBaseDialog() = default;
    TBaseDialog(const TBaseDialog&) = delete;
    TBaseDialog& operator=(const TBaseDialog&) = delete;
    virtual ~TBaseDialog() = default;

    // Shows the dialog modally; the value given to EndDialog, or -1 when the
    // dialog could not be created.
    virtual INT_PTR RunModal(HINSTANCE instance, int templateId, HWND owner);
    virtual INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    static INT_PTR CALLBACK RouteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    HINSTANCE instance_ = nullptr;
    HWND window_ = nullptr;
};
