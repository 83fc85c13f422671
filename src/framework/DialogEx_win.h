// CDialogEx: a dialog built from a template in the resource module, shown modally
// (DoModal) or modelessly (Create). Derived classes override the virtual hooks; any
// other message reaches OnMessage first.
#pragma once

#include "framework/Wnd_win.h"

class CDialogEx : public CWnd {
  public:
    explicit CDialogEx(UINT templateId, CWnd* parent = nullptr);
    ~CDialogEx() override;

    // Runs the dialog's own modal loop; returns the code given to EndDialog, or -1 when
    // the template cannot be found or the dialog cannot be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modelessly; it lives until DestroyWindow.
    BOOL Create(CWnd* parent = nullptr);
    void EndDialog(INT_PTR result);
    BOOL DestroyWindow();

    UINT m_nIDTemplate;

  protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) {}
    // Returns TRUE when the message was handled; result is then the dialog result of
    // the message (DWLP_MSGRESULT).
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    CWnd* m_pParentWnd;
    bool m_bModal = false;

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
};
