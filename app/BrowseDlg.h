#pragma once
#include "app/BaseDialog.h"

// The network computer browser (template 103); its tree and list stay empty.
class TBrowseDlg : public TBaseDialog {
public:
    INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HWND browserWindow_ = nullptr;
    HMODULE module_ = nullptr;
};
