// The status display: the picture stretched over the window and the four
// status lines on top of it.
#include <cstring>

#include "app/shell.h"
#include "transfer/status_lines.h"

HBITMAP BackgroundPicture;
LOGFONTA DisplayFont;
RECT ProgressRect;
RECT PhaseRect;

namespace {

const COLORREF VersionColour = RGB(255, 64, 96);
const COLORREF TextColour = RGB(0, 0, 0);
const int Margin = 10;
const int TopGap = 4;

// The picture covers the window's outer size from the client origin, so its
// parts beyond the client area are clipped off.
void DrawPicture(HDC dc, int outerWidth, int outerHeight) {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, BackgroundPicture);
    SetMapMode(memory, GetMapMode(dc));
    BITMAP bm;
    GetObjectA(BackgroundPicture, sizeof bm, &bm);
    POINT origin = {0, 0};
    DPtoLP(memory, &origin, 1);
    StretchBlt(dc, 0, 0, outerWidth, outerHeight, memory, origin.x, origin.y, bm.bmWidth,
               bm.bmHeight, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

void SetStrip(RECT* r, int top, int bottom, int averageWidth) {
    r->left = Margin;
    r->top = top;
    r->right = 42 * averageWidth + 4;  // room for 42 average characters
    r->bottom = bottom;
}

}  // namespace

LRESULT OnPaint(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    int w = outer.right - outer.left;
    int v = outer.bottom - outer.top;

    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    HFONT font = CreateFontIndirectA(&DisplayFont);
    HGDIOBJ previousFont = SelectObject(dc, font);
    if (BackgroundPicture) DrawPicture(dc, w, v);

    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    int h = tm.tmHeight;
    int a = tm.tmAveCharWidth;
    SetBkMode(dc, TRANSPARENT);

    char line[StatusLineSize];
    SetTextColor(dc, VersionColour);
    ComposeVersionLine(line);
    int length = (int)std::strlen(line);
    TextOutA(dc, w - length * a - Margin, TopGap, line, length);

    SetTextColor(dc, TextColour);
    SetStrip(&ProgressRect, h + TopGap, 3 * h + TopGap, a);
    SetStrip(&PhaseRect, 3 * h + TopGap, 4 * h + TopGap, a);
    if (AreProgressLinesShown()) {
        ComposeActionLine(line);
        TextOutA(dc, Margin, h + TopGap, line, (int)std::strlen(line));
        ComposeBlockLine(line);
        TextOutA(dc, Margin, 2 * h + TopGap, line, (int)std::strlen(line));
    }
    ComposePhaseLine(line);
    TextOutA(dc, Margin, 3 * h + TopGap, line, (int)std::strlen(line));

    SelectObject(dc, previousFont);
    EndPaint(window, &ps);
    DeleteObject(font);
    UpdateWindow(window);
    return 0;
}
