// Data exchange and validation between a dialog's members and its controls.
#include "afx/internal.h"

#include <cstdio>
#include <cstdlib>

HWND CDataExchange::PrepareCtrl(int id) {
    HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    m_hWndLastControl = control;
    m_bEditLastControl = FALSE;
    return control;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
    HWND control = PrepareCtrl(id);
    m_bEditLastControl = TRUE;
    return control;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl) ::SendMessageA(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    throw afx_internal::DataExchangeFailed{};
}

void AFXAPI DDX_Control(CDataExchange* dx, int id, CWnd& control) {
    if (control.m_hWnd) return;
    HWND window = dx->PrepareCtrl(id);
    if (window) control.Attach(window);
}

// The group starts at `id`; every radio button up to the next control that starts a group
// counts, other controls in between are skipped. Saving gives the index of the checked one, -1
// when none is checked; loading checks the one at the index and unchecks the others.
void AFXAPI DDX_Radio(CDataExchange* dx, int id, int& value) {
    HWND control = dx->PrepareCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate) value = -1;
    int index = 0;
    do {
        if (::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) {
            if (dx->m_bSaveAndValidate) {
                if (::SendMessageA(control, BM_GETCHECK, 0, 0) != BST_UNCHECKED) value = index;
            } else {
                ::SendMessageA(control, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED,
                               0);
            }
            ++index;
        }
        control = ::GetWindow(control, GW_HWNDNEXT);
    } while (control && !(::GetWindowLongA(control, GWL_STYLE) & WS_GROUP));
}

void AFXAPI DDX_Text(CDataExchange* dx, int id, CString& value) {
    HWND control = dx->PrepareEditCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate) {
        int length = ::GetWindowTextLengthA(control);
        ::GetWindowTextA(control, value.GetBuffer(length), length + 1);
        value.ReleaseBuffer();
    } else {
        ::SetWindowTextA(control, value);
    }
}

namespace {
// Reads a whole number from the control; on failure tells the person and fails the exchange.
long long ReadNumber(CDataExchange* dx, HWND control, bool isSigned, UINT promptId) {
    char text[64] = {};
    ::GetWindowTextA(control, text, sizeof text);
    char* end = nullptr;
    const char* p = text;
    while (*p == ' ')
        ++p;
    long long number = std::strtoll(p, &end, 10);
    bool ok = end != p;
    while (ok && *end == ' ')
        ++end;
    ok = ok && *end == '\0' &&
         (isSigned ? (number >= -2147483648LL && number <= 2147483647LL)
                   : (number >= 0 && number <= 4294967295LL));
    if (!ok) {
        AfxMessageBox(promptId, MB_ICONEXCLAMATION, promptId);
        dx->Fail();
    }
    return number;
}
} // namespace

void AFXAPI DDX_Text(CDataExchange* dx, int id, int& value) {
    HWND control = dx->PrepareEditCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate) {
        value = static_cast<int>(ReadNumber(dx, control, true, AFX_IDP_PARSE_INT));
    } else {
        char text[16];
        std::snprintf(text, sizeof text, "%d", value);
        ::SetWindowTextA(control, text);
    }
}

void AFXAPI DDX_Text(CDataExchange* dx, int id, UINT& value) {
    HWND control = dx->PrepareEditCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate) {
        value = static_cast<UINT>(ReadNumber(dx, control, false, AFX_IDP_PARSE_UINT));
    } else {
        char text[16];
        std::snprintf(text, sizeof text, "%u", value);
        ::SetWindowTextA(control, text);
    }
}

void AFXAPI DDX_Check(CDataExchange* dx, int id, int& value) {
    HWND control = dx->PrepareCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void AFXAPI DDX_CBIndex(CDataExchange* dx, int id, int& index) {
    HWND control = dx->PrepareCtrl(id);
    if (!control) return;
    if (dx->m_bSaveAndValidate)
        index = static_cast<int>(::SendMessageA(control, CB_GETCURSEL, 0, 0));
    else
        ::SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// Loading limits typing in the edit to `count` characters. Saving refuses a longer text: the
// person is told so, the edit gets the focus with its text selected, and the exchange fails, so
// OK leaves the dialog open.
void AFXAPI DDV_MaxChars(CDataExchange* dx, const CString& value, int count) {
    if (dx->m_bSaveAndValidate && value.GetLength() > count) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", count);
        CString prompt;
        AfxFormatString1(prompt, AFX_IDP_PARSE_STRING_SIZE, number);
        AfxMessageBox(prompt, MB_ICONEXCLAMATION, AFX_IDP_PARSE_STRING_SIZE);
        dx->Fail();
    }
    if (dx->m_hWndLastControl && dx->m_bEditLastControl)
        ::SendMessageA(dx->m_hWndLastControl, EM_LIMITTEXT, static_cast<WPARAM>(count), 0);
}
