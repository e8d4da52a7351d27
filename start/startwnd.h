// start's window: the Start.ini picture without a frame of the window
// manager, and on it the buttons that light up under the mouse.
#pragma once

#include "start/startini.h"
#include "start/startlook.h"

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/popupwin.h>
#include <wx/timer.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace start {

inline constexpr int kFirstButtonId = 32770;

class CStartWnd;

// The tool tip of every button: a 45-degree gradient with white text.
class CStartToolTipCtrl : public wxPopupWindow {
public:
    static constexpr unsigned long kGradientFrom = MakeRgb(104, 165, 225);
    static constexpr unsigned long kGradientTo = MakeRgb(37, 92, 222);
    static constexpr unsigned long kText = MakeRgb(255, 255, 255);
    static constexpr unsigned long kSeparator = MakeRgb(113, 166, 246);

    explicit CStartToolTipCtrl(wxWindow* parent);
    void ShowTip(const wxString& text, const wxPoint& screenPos);
    // Draws the tip of `size` into any device context.
    static void DrawTip(wxDC& dc, const wxSize& size, const wxString& text);
    static wxSize TipSize(wxDC& dc, const wxString& text);

private:
    void OnPaint(wxPaintEvent&);
    wxString m_text;
};

class CStartButton : public wxWindow {
public:
    // The face is the picture under the template's rectangle; no window is
    // made for a rectangle of no size.
    bool CreateFromTemplate(const CButtonTemplate& t, const wxImage& background, CStartWnd* parent, int id,
                            const std::string& iniFile);

    const CButtonTemplate& GetTemplate() const { return m_template; }
    bool IsHover() const { return m_bHover; }
    bool IsPressed() const { return m_bPressed; }
    bool HasFace() const { return m_bmpFace.IsOk(); }
    int PaintCount() const { return m_paints; }
    // The face as the button shows it now.
    const wxBitmap& CurrentFace() const;
    void SetHover(bool hover);

private:
    void OnPaint(wxPaintEvent&);
    void OnEnter(wxMouseEvent&);
    void OnLeave(wxMouseEvent&);
    void OnLeftDown(wxMouseEvent&);
    void OnLeftUp(wxMouseEvent&);
    void OnCaptureLost(wxMouseCaptureLostEvent&);
    void OnTipTimer(wxTimerEvent&);
    CStartWnd* Parent() const;

    CButtonTemplate m_template;
    wxBitmap m_bmpFace;
    wxBitmap m_bmpHoverFace;
    bool m_bHover = false;
    bool m_bPressed = false;
    int m_paints = 0;
    wxTimer m_tipTimer;
};

class CStartWnd : public wxFrame {
public:
    CStartWnd();
    ~CStartWnd() override;

    // Loads the picture and makes the window and its buttons; false (and no
    // window) when the picture does not load.
    bool CreateStartWnd(const CStartSettings& settings, const std::string& iniFile);

    // What a click on the button of that id (32770 for the first) does.
    void ExecuteButton(int id);

    const std::vector<CStartButton*>& Buttons() const { return m_arrButtons; }
    CStartButton* HoverButton() const { return m_pHoverButton; }
    void SetHoverButton(CStartButton* button);
    CStartToolTipCtrl* ToolTip();

    // Draws the window as its paint handler does, into any device context.
    void DrawWindow(wxDC& dc);

    // A program or document that could not be opened; shows a message box
    // unless a test replaced it.
    std::function<void(const std::string& target, int result)> m_onOpenFailed;

private:
    void RunCommand(const std::string& file, const std::string& parameters);
    void OpenUrl(const std::string& url);
    void RefreshBands(const CStartButton* button);
    void DrawBands(wxDC& dc);
    void OnPaint(wxPaintEvent&);
    void OnCharHook(wxKeyEvent&);
    void OnLeftDown(wxMouseEvent&);
    void OnLeftUp(wxMouseEvent&);
    void OnMotion(wxMouseEvent&);
    void OnCaptureLost(wxMouseCaptureLostEvent&);
    void OnButton(wxCommandEvent&);

    wxImage m_imgBackground;
    wxBitmap m_bmpBackground; // the picture with the window's frame
    wxImage m_imgComposed;    // the same, for the bands' pixels
    std::vector<CStartButton*> m_arrButtons; // children: the window destroys them
    CStartButton* m_pHoverButton = nullptr;
    CStartToolTipCtrl* m_pToolTip = nullptr;
    std::string m_iniFile;
    wxPoint m_dragOffset;
    bool m_bDragging = false;
};

// The icon start shows when Start.ini names none that loads.
wxIcon MakeProgramIcon(int size);

} // namespace start
