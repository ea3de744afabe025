// Win32 only: the edit views and their line-number columns: fonts and their
// measuring, painting through the portable painter, scrolling, the caret and
// the mouse.
#include "shell/editor_win32.h"

#include <imm.h>
#include <shellapi.h>

#include "document/caret_moves.h"
#include "shell/edit_render.h"

namespace gorvane::shell::win32 {

namespace {

// ---- measuring a GDI font for the metrics tables ----

class GdiMeasurer final : public sh::GlyphMeasurer {
 public:
  GdiMeasurer(HDC dc, HFONT font) : dc_(dc), old_(SelectObject(dc, font)) { GetTextMetricsW(dc_, &tm_); }
  ~GdiMeasurer() override { SelectObject(dc_, old_); }
  GdiMeasurer(const GdiMeasurer&) = delete;
  GdiMeasurer& operator=(const GdiMeasurer&) = delete;

  int TextWidth(std::string_view sjis) override {
    const std::wstring w = Wide(sjis);
    SIZE size{};
    GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
    return size.cx;
  }
  int SingleWidth(std::uint8_t byte) override {
    const char c = static_cast<char>(byte);
    return TextWidth(std::string_view(&c, 1));
  }
  int DoubleWidth(std::uint8_t lead, std::uint8_t trail) override {
    // One call measures every UTF-16 unit; pairs look their unit up.
    if (wide_.empty()) {
      wide_.assign(65536, 0);
      if (!GetCharWidth32W(dc_, 0, 0xFFFF, wide_.data())) wide_.assign(65536, tm_.tmAveCharWidth * 2);
    }
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    bool exact = false;
    const std::wstring w = cc::SjisToWide<wchar_t>(std::string_view(pair, 2), &exact);
    if (w.size() != 1) return TextWidth(std::string_view(pair, 2));
    return wide_[static_cast<std::uint16_t>(w[0])];
  }
  int TextHeight() override { return tm_.tmHeight; }
  int AverageWidth() override { return tm_.tmAveCharWidth; }

 private:
  HDC dc_;
  HGDIOBJ old_;
  TEXTMETRICW tm_{};
  std::vector<INT> wide_;
};

HFONT MakeFont(const sh::FontSpec& spec) {
  return CreateFontW(spec.height, 0, 0, 0, spec.weight, FALSE, FALSE, FALSE, static_cast<BYTE>(spec.charset),
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_DONTCARE, Wide(spec.face).c_str());
}

// ---- the painter's primitives with GDI ----

class GdiTarget final : public sh::DrawTarget {
 public:
  GdiTarget(HDC dc, HFONT font) : dc_(dc), oldFont_(SelectObject(dc, font)) { SetBkMode(dc_, TRANSPARENT); }
  ~GdiTarget() override {
    if (pen_) {
      SelectObject(dc_, oldPen_);
      DeleteObject(pen_);
    }
    SelectObject(dc_, oldFont_);
    SelectClipRgn(dc_, nullptr);
  }
  GdiTarget(const GdiTarget&) = delete;
  GdiTarget& operator=(const GdiTarget&) = delete;

  void Clip(const sh::Rect& r) override {
    HRGN rgn = CreateRectRgn(r.left - origin_.x, r.top - origin_.y, r.right - origin_.x, r.bottom - origin_.y);
    SelectClipRgn(dc_, rgn);
    DeleteObject(rgn);
  }
  void FillRect(const sh::Rect& r, sh::Colour fill) override {
    SetBkColor(dc_, fill);
    const RECT rc{r.left - origin_.x, r.top - origin_.y, r.right - origin_.x, r.bottom - origin_.y};
    ExtTextOutW(dc_, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
  }
  void Glyphs(int x, int y, std::string_view sjis, sh::Colour text) override {
    SetTextColor(dc_, text);
    const std::wstring w = Wide(sjis);
    TextOutW(dc_, x - origin_.x, y - origin_.y, w.c_str(), static_cast<int>(w.size()));
  }
  void Polyline(const sh::Point* pts, int n, sh::Colour colour) override {
    // Marks come in few colours: one pen is kept until another is needed.
    if (!pen_ || penColour_ != colour) {
      HPEN pen = CreatePen(PS_SOLID, 1, colour);
      const HGDIOBJ previous = SelectObject(dc_, pen);
      if (pen_) DeleteObject(pen_);
      else oldPen_ = previous;
      pen_ = pen;
      penColour_ = colour;
    }
    for (int i = 0; i < n; ++i) {
      if (i == 0) MoveToEx(dc_, pts[i].x - origin_.x, pts[i].y - origin_.y, nullptr);
      else LineTo(dc_, pts[i].x - origin_.x, pts[i].y - origin_.y);
    }
    // LineTo leaves the end point out; the painter's lines include it.
    if (n > 0) SetPixel(dc_, pts[n - 1].x - origin_.x, pts[n - 1].y - origin_.y, colour);
  }
  void RoundRect(const sh::Rect& r, int corner, sh::Colour fill) override {
    HBRUSH brush = CreateSolidBrush(fill);
    HPEN pen = CreatePen(PS_SOLID, 1, fill);
    HGDIOBJ oldBrush = SelectObject(dc_, brush), oldPen = SelectObject(dc_, pen);
    ::RoundRect(dc_, r.left - origin_.x, r.top - origin_.y, r.right - origin_.x, r.bottom - origin_.y, corner, corner);
    SelectObject(dc_, oldBrush);
    SelectObject(dc_, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
  }
  void TextRight(const sh::Rect& r, std::string_view ascii, sh::Colour text) override {
    SetTextColor(dc_, text);
    const std::wstring w(ascii.begin(), ascii.end());
    RECT rc{r.left - origin_.x, r.top - origin_.y, r.right - origin_.x, r.bottom - origin_.y};
    DrawTextW(dc_, w.c_str(), static_cast<int>(w.size()), &rc, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX | DT_TOP);
  }
  // Drawing into a bitmap of the update rectangle: coordinates move by its origin.
  void SetOrigin(int x, int y) { origin_ = {x, y}; }

 private:
  HDC dc_;
  HGDIOBJ oldFont_;
  HPEN pen_ = nullptr;
  HGDIOBJ oldPen_ = nullptr;
  sh::Colour penColour_ = 0;
  POINT origin_{0, 0};
};

int PaneOf(HWND hwnd) { return GetWindowLongPtrW(hwnd, 0) == 1 ? 1 : 0; }

// The lines for the painter, read through the line store.
sh::LineSource Lines(Editor& e, std::string& buffer) {
  return [&e, &buffer](int line, sh::LineInfo& out) {
    if (!e.store.ReadLine(doc::LineNo(line), &buffer)) return false;
    out.text = buffer;
    out.rangeLine = e.store.RangeIndex(doc::LineNo(line)) != 0;
    out.bookmark = e.store.Bookmark(doc::LineNo(line)) != 0;
    return true;
  };
}

// Paints through an off-screen bitmap of the update rectangle, so that the
// page appears at once; directly when no bitmap can be had (told once).
template <typename Paint>
void DoubleBuffered(HWND hwnd, HFONT font, Paint paint) {
  // Boxes asked for while painting wait until the paint is over.
  sh::DeferringHost::Painting painting(g_editor->host);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  const RECT u = ps.rcPaint;
  const int w = std::max<LONG>(1, u.right - u.left), h = std::max<LONG>(1, u.bottom - u.top);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = mem ? CreateCompatibleBitmap(dc, w, h) : nullptr;
  const sh::Rect update{u.left, u.top, u.right, u.bottom};
  if (mem && bmp) {
    HGDIOBJ old = SelectObject(mem, bmp);
    {
      GdiTarget target(mem, font);
      target.SetOrigin(u.left, u.top);
      paint(target, update);
    }
    BitBlt(dc, u.left, u.top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  } else {
    static bool told = false;
    if (!told && g_editor) {
      told = true;
      sh::Tell(g_editor->host, u8"描画用のメモリを確保できませんでした。\n画面を直接描画します。", sh::BoxIcon::Warning);
    }
    GdiTarget target(dc, font);
    paint(target, update);
  }
  if (bmp) DeleteObject(bmp);
  if (mem) DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

void PaintView(HWND hwnd) {
  Editor& e = *g_editor;
  const int p = PaneOf(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  sh::PaneView view;
  view.firstLine = e.pane[p].firstLine;
  view.lineCount = static_cast<int>(e.store.lineCount());
  view.width = client.right;
  view.height = client.bottom;
  view.leftMargin = e.leftMargin;
  view.xOffset = e.pane[p].xOffset;
  view.caretLine = e.pane[p].caretLine;
  view.active = p == e.active;
  view.selecting = false;
  // The horizontal range follows the widest line painted.
  std::string buffer;
  const sh::LineSource read = Lines(e, buffer);
  int widest = e.widest;
  const sh::LineSource lines = [&](int line, sh::LineInfo& info) {
    if (!read(line, info)) return false;
    widest = std::max(widest, sh::XOfColumn(e.metrics, info.text, doc::EndColumn(info.text).value, e.tabSize));
    return true;
  };
  sh::PlainColourer plain;
  DoubleBuffered(hwnd, e.font, [&](GdiTarget& target, const sh::Rect& update) {
    sh::PaintEditView(target, e.metrics, e.render, e.colours, view, update, lines, plain);
  });
  if (widest != e.widest) {
    e.widest = widest;
    for (int q = 0; q < e.panes(); ++q) e.UpdateHorizontalBar(q);
  }
}

void PaintNumbers(HWND hwnd) {
  Editor& e = *g_editor;
  const int p = PaneOf(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  std::string buffer;
  const sh::LineSource lines = Lines(e, buffer);
  DoubleBuffered(hwnd, e.numberFont, [&](GdiTarget& target, const sh::Rect& update) {
    sh::PaintLineNumbers(target, e.metrics, e.render, e.colours, e.pane[p].firstLine,
                         static_cast<int>(e.store.lineCount()), client.right, client.bottom, update, lines);
  });
}

// Scrolls the view sideways to a pixel offset.
void ScrollSideways(Editor& e, int p, int to) {
  RECT r;
  GetClientRect(e.pane[p].view, &r);
  const int limit = std::max(0, e.widest + e.metrics.columnWidth * 4 - static_cast<int>(r.right));
  to = std::clamp(to, 0, std::max(limit, e.pane[p].xOffset));
  if (to == e.pane[p].xOffset) return;
  e.pane[p].xOffset = to;
  e.UpdateHorizontalBar(p);
  InvalidateRect(e.pane[p].view, nullptr, FALSE);
  e.PlaceSystemCaret(p);
}

bool Held(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// Caret movement and paging: the keys with no command.
void PlainKey(Editor& e, int p, WPARAM vk) {
  Pane& pane = e.pane[p];
  const bool ctrl = Held(VK_CONTROL);
  const int count = static_cast<int>(std::max<std::uint32_t>(1, e.store.lineCount()));
  const int page = e.VisibleLines(p);
  const std::string line = e.Line(pane.caretLine);
  auto upDown = [&](int to) {
    const int x = pane.wantedX >= 0 ? pane.wantedX : sh::XOfColumn(e.metrics, line, pane.caretColumn, e.tabSize);
    to = std::clamp(to, 1, count);
    const std::string target = e.Line(to);
    e.SetCaret(p, to, sh::ColumnOfX(e.metrics, target, x, e.tabSize), true);
    pane.wantedX = x;
  };
  switch (vk) {
    case VK_LEFT:
      if (pane.caretColumn > 1)
        e.SetCaret(p, pane.caretLine, doc::PreviousColumn(line, doc::CaretCol(pane.caretColumn)).value);
      else if (pane.caretLine > 1) e.SetCaret(p, pane.caretLine - 1, doc::EndColumn(e.Line(pane.caretLine - 1)).value);
      break;
    case VK_RIGHT:
      if (pane.caretColumn < doc::EndColumn(line).value)
        e.SetCaret(p, pane.caretLine, doc::NextColumn(line, doc::CaretCol(pane.caretColumn)).value);
      else if (pane.caretLine < count) e.SetCaret(p, pane.caretLine + 1, 1);
      break;
    case VK_UP: upDown(pane.caretLine - 1); break;
    case VK_DOWN: upDown(pane.caretLine + 1); break;
    case VK_PRIOR:
      e.ScrollTo(p, pane.firstLine - page);
      upDown(pane.caretLine - page);
      break;
    case VK_NEXT:
      e.ScrollTo(p, pane.firstLine + page);
      upDown(pane.caretLine + page);
      break;
    case VK_HOME: e.SetCaret(p, ctrl ? 1 : pane.caretLine, 1); break;
    case VK_END:
      if (ctrl) e.SetCaret(p, count, doc::EndColumn(e.Line(count)).value);
      else e.SetCaret(p, pane.caretLine, doc::EndColumn(line).value);
      break;
    default: break;
  }
}

// The line of a pane's row at y (client pixels), within the document.
int LineAtY(const Editor& e, int p, int y) {
  const int count = static_cast<int>(std::max<std::uint32_t>(1, e.store.lineCount()));
  return std::clamp(e.pane[p].firstLine + y / std::max(1, e.lineHeight), 1, count);
}

// The right-click menu of the view or of its line-number column at a
// mouse message's point.
void PopupAt(Editor& e, HWND hwnd, LPARAM lp, bool lineNumbers) {
  POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  ClientToScreen(hwnd, &pt);
  ShowPopupMenu(e, lineNumbers, pt.x, pt.y);
}

// A file dropped on the view: only the first counts; a folder is refused.
void DropFiles(Editor& e, HDROP drop) {
  using Query = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
  using Finish = void(WINAPI*)(HDROP);
  static const auto query = LateBound<Query>(L"shell32.dll", "DragQueryFileW");
  static const auto finish = LateBound<Finish>(L"shell32.dll", "DragFinish");
  if (!query || !finish) return;
  std::wstring name;
  const UINT length = query(drop, 0, nullptr, 0);
  if (length > 0) {
    name.resize(length + 1);
    query(drop, 0, name.data(), length + 1);
    name.resize(length);
  }
  finish(drop);
  if (name.empty()) return;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    sh::Status(e.host, u8"ドロップされたアイテムはフォルダです。");
    return;
  }
  // The command takes its turn with the group ("何らかの処理中です。" while another editor works).
  const gf::OpenEntry entry{Narrow(name), 0, false};
  if (e.commands && e.commands->OpenFileCommand(0, &entry)) e.Refresh(true);
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Editor* e = g_editor;
  if (!e) return DefWindowProcW(hwnd, msg, wp, lp);
  const int p = PaneOf(hwnd);
  switch (msg) {
    case WM_PAINT:
      PaintView(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_VSCROLL: {
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
    case WM_HSCROLL: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      GetScrollInfo(hwnd, SB_HORZ, &si);
      RECT r;
      GetClientRect(hwnd, &r);
      const int column = std::max(1, e->metrics.columnWidth);
      int to = e->pane[p].xOffset;
      switch (LOWORD(wp)) {
        case SB_LINELEFT: to -= column; break;
        case SB_LINERIGHT: to += column; break;
        case SB_PAGELEFT: to -= std::max(column, static_cast<int>(r.right) - column); break;
        case SB_PAGERIGHT: to += std::max(column, static_cast<int>(r.right) - column); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: to = si.nTrackPos; break;
        case SB_LEFT: to = 0; break;
        case SB_RIGHT: to = e->widest; break;
        default: break;
      }
      ScrollSideways(*e, p, to);
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (e->loader.CheckFileChanged(false)) e->Refresh(false);
      e->Wheel(p, GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_IME_NOTIFY:
      if (wp == IMN_SETOPENSTATUS) e->RefreshStatus();
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (msg == WM_SYSKEYDOWN && wp != VK_F10) break;
      const gorvane::commands::KeyDecision d = DecideKeyNow(*e, wp);
      if (d.action == gorvane::commands::KeyAction::Command) ExecuteCode(*e, d.command);
      else PlainKey(*e, p, wp);
      return 0;
    }
    case WM_RBUTTONUP:
      PopupAt(*e, hwnd, lp, false);
      return 0;
    case WM_DROPFILES: {
      DropFiles(*e, reinterpret_cast<HDROP>(wp));
      return 0;
    }
    case WM_CONTEXTMENU: {
      // The scroll bars' own menus.
      const LRESULT hit = SendMessageW(hwnd, WM_NCHITTEST, 0, lp);
      if (hit == HTVSCROLL || hit == HTHSCROLL) {
        ShowScrollMenu(*e, hit == HTVSCROLL, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        return 0;
      }
      break;
    }
    case WM_SETFOCUS:
      e->active = p;
      e->store.SetActivePane(p);
      CreateCaret(hwnd, nullptr, 2, std::max(1, e->metrics.textHeight));
      e->PlaceSystemCaret(p);
      e->RefreshStatus();
      for (int q = 0; q < e->panes(); ++q) InvalidateRect(e->pane[q].view, nullptr, FALSE);
      return 0;
    case WM_KILLFOCUS:
      DestroyCaret();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      SetFocus(hwnd);
      // The file may have changed on disk meanwhile.
      if (e->loader.CheckFileChanged(false)) e->Refresh(false);
      const int line = LineAtY(*e, p, GET_Y_LPARAM(lp));
      const std::string text = e->Line(line);
      const int x = GET_X_LPARAM(lp) - e->leftMargin + e->pane[p].xOffset;
      e->SetCaret(p, line, sh::ColumnOfX(e->metrics, text, x, e->tabSize));
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK LineNumberProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Editor* e = g_editor;
  if (!e) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case WM_PAINT:
      PaintNumbers(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEWHEEL:
      e->Wheel(PaneOf(hwnd), GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_RBUTTONUP:
      PopupAt(*e, hwnd, lp, true);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      // The caret goes to the start of the clicked line.
      const int p = PaneOf(hwnd);
      SetFocus(e->pane[p].view);
      e->SetCaret(p, LineAtY(*e, p, GET_Y_LPARAM(lp)), 1);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// The bar between two panes: dragged with the left button, as long as both
// panes keep more than kLeastPane pixels.
LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  static int grab = 0;
  Editor* e = g_editor;
  if (!e) return DefWindowProcW(hwnd, msg, wp, lp);
  const bool sideBySide = e->split == 47;
  switch (msg) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, sideBySide ? IDC_SIZEWE : IDC_SIZENS));
      return TRUE;
    case WM_LBUTTONDOWN: {
      RECT a, b;
      GetWindowRect(e->pane[0].lineNumbers, &a);
      GetWindowRect(e->pane[1].view, &b);
      const int total = sideBySide ? (b.right - a.left) : (b.bottom - a.top);
      if (total > 2 * Editor::kLeastPane + Editor::kSplitterBar) {
        grab = sideBySide ? GET_X_LPARAM(lp) : GET_Y_LPARAM(lp);  // where on the bar it was taken
        SetCapture(hwnd);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (GetCapture() != hwnd) break;
      // The edit area on the screen.
      RECT a, b;
      GetWindowRect(e->pane[0].lineNumbers, &a);
      GetWindowRect(e->pane[1].view, &b);
      POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      ClientToScreen(hwnd, &pt);
      const int start = sideBySide ? a.left : a.top;
      const int room = (sideBySide ? b.right : b.bottom) - start - Editor::kSplitterBar;
      if (room <= 2 * Editor::kLeastPane) return 0;
      const int at = std::clamp(static_cast<int>(sideBySide ? pt.x : pt.y) - grab - start, Editor::kLeastPane + 1,
                                room - Editor::kLeastPane - 1);
      e->splitShare = static_cast<double>(at) / room;
      e->Layout();
      return 0;
    }
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      for (int p = 0; p < e->panes(); ++p) e->Repaint(p);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

bool RegisterSplitterClass(HINSTANCE inst) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = inst;
  wc.lpfnWndProc = SplitterProc;
  wc.lpszClassName = L"SeparateWindowClass";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  return RegisterClassExW(&wc) != 0;
}

gorvane::commands::KeyDecision DecideKeyNow(const Editor& e, WPARAM vk) {
  namespace cm = gorvane::commands;
  const auto key = static_cast<std::uint8_t>(vk);
  const cm::ModifierState state = cm::ComputeModifierState(Held(VK_CONTROL), Held(VK_SHIFT), cm::DefaultShiftFlagged(key));
  bool imeOpen = false, composing = false;
  if (HIMC imc = ImmGetContext(e.pane[e.active].view)) {
    imeOpen = ImmGetOpenStatus(imc) != 0;
    composing = imeOpen && ImmGetCompositionStringW(imc, GCS_COMPSTR, nullptr, 0) > 0;
    ImmReleaseContext(e.pane[e.active].view, imc);
  }
  return cm::DecideKey(e.keys, state, key, imeOpen, composing);
}

void Editor::PlaceSystemCaret(int p) {
  if (p != active || GetFocus() != pane[p].view) return;
  const int row = pane[p].caretLine - pane[p].firstLine;
  const int x = leftMargin - pane[p].xOffset + sh::XOfColumn(metrics, Line(pane[p].caretLine), pane[p].caretColumn, tabSize);
  SetCaretPos(x, row * lineHeight + metrics.textOffset);
  if (row >= 0 && row <= VisibleLines(p) && x >= leftMargin) ShowCaret(pane[p].view);
  else HideCaret(pane[p].view);
}

void Editor::SetCaret(int p, int line, int column, bool keepWantedX) {
  Pane& pn = pane[p];
  const int count = static_cast<int>(std::max<std::uint32_t>(1, store.lineCount()));
  line = std::clamp(line, 1, count);
  const std::string text = Line(line);
  column = doc::BoundaryColumn(text, doc::CaretCol(std::clamp(column, 1, 15361))).value;
  const int oldLine = pn.caretLine;
  pn.caretLine = line;
  pn.caretColumn = column;
  if (!keepWantedX) pn.wantedX = -1;
  // Into view: vertically, then sideways.
  const int rows = VisibleLines(p);
  if (line < pn.firstLine) ScrollTo(p, line);
  else if (line >= pn.firstLine + rows) ScrollTo(p, line - rows + 1);
  RECT r;
  GetClientRect(pn.view, &r);
  const int x = sh::XOfColumn(metrics, text, column, tabSize);
  const int room = std::max(metrics.columnWidth, static_cast<int>(r.right) - leftMargin - metrics.columnWidth * 2);
  if (x < pn.xOffset) ScrollSideways(*this, p, std::max(0, x - room / 4));
  else if (x > pn.xOffset + room) ScrollSideways(*this, p, x - room * 3 / 4);
  // The caret line's underline moves with it.
  if (oldLine != line) InvalidateRect(pn.view, nullptr, FALSE);
  PlaceSystemCaret(p);
  RefreshStatus();
}

void Editor::Wheel(int p, int delta) {
  wheelDelta += delta;
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  if (lines == WHEEL_PAGESCROLL) lines = static_cast<UINT>(VisibleLines(p));
  while (wheelDelta >= WHEEL_DELTA || wheelDelta <= -WHEEL_DELTA) {
    const int step = wheelDelta > 0 ? -static_cast<int>(lines) : static_cast<int>(lines);
    wheelDelta += wheelDelta > 0 ? -WHEEL_DELTA : WHEEL_DELTA;
    ScrollTo(p, pane[p].firstLine + step);
  }
}

void Editor::UpdateHorizontalBar(int p) {
  RECT r;
  GetClientRect(pane[p].view, &r);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(widest + metrics.columnWidth * 4, pane[p].xOffset + static_cast<int>(r.right));
  si.nPage = static_cast<UINT>(std::max<LONG>(1, r.right));
  si.nPos = pane[p].xOffset;
  SetScrollInfo(pane[p].view, SB_HORZ, &si, TRUE);
}

void Editor::SetUpFonts() {
  HDC dc = GetDC(frame);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  if (font) DeleteObject(font);
  if (numberFont) DeleteObject(numberFont);
  font = MakeFont(sh::EditFont(fontFace, fontPoints, dpi));
  numberFont = MakeFont(sh::LineNumberFont(fontFace, dpi));
  {
    GdiMeasurer edit(dc, font);
    GdiMeasurer numbers(dc, numberFont);
    metrics = sh::BuildEditMetrics(edit, numbers, lineSpacing);
  }
  ReleaseDC(frame, dc);
  lineHeight = std::max(1, metrics.lineHeight);
  numberWidth = sh::LineNumberColumnWidth(static_cast<int>(store.lineCount()), metrics.lineNumberDigitWidth);
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
