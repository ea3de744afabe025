// Win32 only: the edit views and their line-number columns: painting,
// scrolling, the caret and the mouse.
#include "shell/editor_win32.h"

namespace gorvane::shell::win32 {

std::wstring ScreenText(std::string_view line) {
  if (line.size() >= 2 && line.substr(line.size() - 2) == "\r\n") line.remove_suffix(2);
  std::string expanded;
  int column = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto b = static_cast<std::uint8_t>(line[i]);
    if (b == '\t') {
      const int to = (column / 8 + 1) * 8;
      expanded.append(static_cast<std::size_t>(to - column), ' ');
      column = to;
    } else if (cc::IsSjisLead(b) && i + 1 < line.size()) {
      expanded += line[i];
      expanded += line[++i];
      column += 2;
    } else {
      expanded += line[i];
      ++column;
    }
  }
  return Wide(expanded);
}

int PaneOf(HWND hwnd) { return GetWindowLongPtrW(hwnd, 0) == 1 ? 1 : 0; }

void PaintView(HWND hwnd) {
  Editor& e = *g_editor;
  const int first = e.pane[PaneOf(hwnd)].firstLine;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  sh::DeferringHost::Painting painting(e.host);
  RECT client;
  GetClientRect(hwnd, &client);
  // Double-buffered: the page is drawn off screen, then copied.
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right), std::max<LONG>(1, client.bottom));
  HGDIOBJ oldBmp = SelectObject(mem, bmp);
  HGDIOBJ oldFont = SelectObject(mem, e.font);
  FillRect(mem, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(mem, TRANSPARENT);
  const int count = static_cast<int>(e.store.lineCount());
  const int rows = client.bottom / e.lineHeight + 1;
  int y = 0;
  e.store.WalkLines(doc::LineNo(first), 1, [&](doc::LineNo line, std::string_view text) {
    const std::wstring w = ScreenText(text);
    TextOutW(mem, 2, y, w.c_str(), static_cast<int>(w.size()));
    const bool last = line.value == count;
    if (last) {
      // The end-of-file mark after the last line.
      SIZE size{};
      GetTextExtentPoint32W(mem, w.c_str(), static_cast<int>(w.size()), &size);
      SetTextColor(mem, RGB(0, 0, 255));
      TextOutW(mem, 2 + size.cx, y, L"[EOF]", 5);
      SetTextColor(mem, RGB(0, 0, 0));
    }
    y += e.lineHeight;
    return y < client.bottom && line.value - first + 1 < rows;
  });
  BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, oldFont);
  SelectObject(mem, oldBmp);
  DeleteObject(bmp);
  DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

void PaintLineNumbers(HWND hwnd) {
  Editor& e = *g_editor;
  const int first = e.pane[PaneOf(hwnd)].firstLine;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  HBRUSH grey = CreateSolidBrush(RGB(236, 236, 236));
  FillRect(dc, &client, grey);
  DeleteObject(grey);
  HGDIOBJ oldFont = SelectObject(dc, e.font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(96, 96, 96));
  const int count = static_cast<int>(e.store.lineCount());
  for (int line = first, y = 0; line <= count && y < client.bottom; ++line, y += e.lineHeight) {
    const std::wstring n = std::to_wstring(line);
    RECT r{0, y, client.right - 4, y + e.lineHeight};
    DrawTextW(dc, n.c_str(), static_cast<int>(n.size()), &r, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Editor* e = g_editor;
  switch (msg) {
    case WM_PAINT:
      PaintView(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_VSCROLL: {
      if (!e) break;
      const int p = PaneOf(hwnd);
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      GetScrollInfo(hwnd, SB_VERT, &si);
      int to = e->pane[p].firstLine;
      switch (LOWORD(wp)) {
        case SB_LINEUP: to -= 1; break;
        case SB_LINEDOWN: to += 1; break;
        case SB_PAGEUP: to -= e->VisibleLines(p); break;
        case SB_PAGEDOWN: to += e->VisibleLines(p); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: to = si.nTrackPos; break;
        case SB_TOP: to = 1; break;
        case SB_BOTTOM: to = static_cast<int>(e->store.lineCount()); break;
        default: break;
      }
      e->ScrollTo(p, to);
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (e) e->ScrollTo(PaneOf(hwnd), e->pane[PaneOf(hwnd)].firstLine - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * 3);
      return 0;
    case WM_KEYDOWN: {
      if (!e) break;
      const int p = PaneOf(hwnd);
      const int first = e->pane[p].firstLine;
      if (wp == VK_NEXT) e->ScrollTo(p, first + e->VisibleLines(p));
      else if (wp == VK_PRIOR) e->ScrollTo(p, first - e->VisibleLines(p));
      else if (wp == VK_DOWN) e->ScrollTo(p, first + 1);
      else if (wp == VK_UP) e->ScrollTo(p, first - 1);
      else if (wp == VK_HOME && (GetKeyState(VK_CONTROL) & 0x8000)) e->ScrollTo(p, 1);
      else if (wp == VK_END && (GetKeyState(VK_CONTROL) & 0x8000)) e->ScrollTo(p, static_cast<int>(e->store.lineCount()));
      return 0;
    }
    case WM_SETFOCUS:
      if (e) {
        e->active = PaneOf(hwnd);
        e->store.SetActivePane(e->active);
        e->RefreshStatus();
      }
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(hwnd);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK LineNumberProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PaintLineNumbers(hwnd);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

bool RegisterViewClasses(HINSTANCE inst) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = inst;
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpfnWndProc = ViewProc;
  wc.lpszClassName = L"QVChild";
  wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  wc.cbWndExtra = 8;
  if (!RegisterClassExW(&wc)) return false;
  wc.lpfnWndProc = LineNumberProc;
  wc.lpszClassName = L"QVLineNum";
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  return RegisterClassExW(&wc) != 0;
}

}  // namespace gorvane::shell::win32
