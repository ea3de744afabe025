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
sh::LineSource Lines(EditorWindow& e, std::string& buffer) {
  return [&e, &buffer](int line, sh::LineInfo& out) {
    if (!e.store.ReadLine(doc::LineNo(line), &buffer)) return false;
    out.text = buffer;
    out.rangeLine = e.store.RangeIndex(doc::LineNo(line)) != 0;
    out.bookmark = e.store.Bookmark(doc::LineNo(line)) != 0;
    const auto [from, to] = e.editor.SelectedBytes(doc::LineNo(line), buffer);
    out.selectFrom = from;
    out.selectTo = to;
    out.brackets = {-1, -1};
    if (const auto& pair = e.editor.brackets()) {
      int k = 0;
      for (const doc::TextPos& at : {pair->at, pair->partner})
        if (at.line.value == line) out.brackets[static_cast<std::size_t>(k++)] = at.column.value - 1;
    }
    return true;
  };
}

// Paints through an off-screen bitmap of the update rectangle, so that the
// page appears at once; directly when no bitmap can be had (told once).
template <typename Paint>
void DoubleBuffered(EditorWindow& e, HWND hwnd, HFONT font, Paint paint) {
  // Boxes asked for while painting wait until the paint is over.
  sh::DeferringHost::Painting painting(e.host);
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
    if (!e.toldNoBitmap) {
      e.toldNoBitmap = true;
      sh::Tell(e.host, u8"描画用のメモリを確保できませんでした。\n画面を直接描画します。", sh::BoxIcon::Warning);
    }
    GdiTarget target(dc, font);
    paint(target, update);
  }
  if (bmp) DeleteObject(bmp);
  if (mem) DeleteDC(mem);
  EndPaint(hwnd, &ps);
}

void PaintView(EditorWindow& e, HWND hwnd) {
  const int p = PaneOf(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  sh::PaneView view;
  const sh::PaneState& state = e.editor.pane(p);
  view.firstLine = state.first.value;
  view.lineCount = static_cast<int>(e.store.lineCount());
  view.width = client.right;
  view.height = client.bottom;
  view.leftMargin = e.leftMargin;
  view.xOffset = state.xOffset;
  view.caretLine = state.caret.line.value;
  view.active = p == e.active();
  view.selecting = e.editor.hasSelection();
  // The horizontal range follows the widest line painted.
  std::string buffer;
  const sh::LineSource read = Lines(e, buffer);
  int widest = e.widest;
  const sh::LineSource lines = [&](int line, sh::LineInfo& info) {
    if (!read(line, info)) return false;
    widest = std::max(widest, sh::XOfColumn(e.metrics, info.text, doc::EndColumn(info.text), e.tabSize));
    return true;
  };
  sh::PlainColourer plain;
  DoubleBuffered(e, hwnd, e.font, [&](GdiTarget& target, const sh::Rect& update) {
    sh::PaintEditView(target, e.metrics, e.render, e.colours, view, update, lines, plain);
  });
  if (widest != e.widest) {
    e.widest = widest;
    for (int q = 0; q < e.panes(); ++q) e.UpdateHorizontalBar(q);
  }
}

void PaintNumbers(EditorWindow& e, HWND hwnd) {
  const int p = PaneOf(hwnd);
  RECT client;
  GetClientRect(hwnd, &client);
  std::string buffer;
  const sh::LineSource lines = Lines(e, buffer);
  DoubleBuffered(e, hwnd, e.numberFont, [&](GdiTarget& target, const sh::Rect& update) {
    sh::PaintLineNumbers(target, e.metrics, e.render, e.colours, e.editor.pane(p).first.value,
                         static_cast<int>(e.store.lineCount()), client.right, client.bottom, update, lines);
  });
}

// Scrolls the view sideways to a pixel offset.
void ScrollSideways(EditorWindow& e, int p, int to) {
  RECT r;
  GetClientRect(e.pane[p].view, &r);
  const int limit = std::max(0, e.widest + e.metrics.columnWidth * 4 - static_cast<int>(r.right));
  to = std::clamp(to, 0, std::max(limit, e.editor.pane(p).xOffset));
  e.Apply(e.editor.ScrollSideways(p, to));
}

bool Held(int vk) { return (GetKeyState(vk) & 0x8000) != 0; }

// The right-click menu of the view or of its line-number column at a
// mouse message's point.
void PopupAt(EditorWindow& e, HWND hwnd, LPARAM lp, bool lineNumbers) {
  POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  ClientToScreen(hwnd, &pt);
  ShowPopupMenu(e, lineNumbers, pt.x, pt.y);
}

// A file dropped on the view: only the first counts; a folder is refused.
void DropFiles(EditorWindow& e, HDROP drop) {
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
  if (!e.commands) return;
  e.commands->OpenFileCommand(0, &entry);
  e.Refresh();
}

// The left button let go (or the capture lost): the drag in the view or the
// line-number column ends.
void EndOfDrag(EditorWindow& e, HWND hwnd, UINT msg) {
  if (msg == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
  e.Apply(e.editor.Release());
}

// The key-down as the editor takes it: the modifier keys held now and the
// input method's state.
sh::KeyPress KeyPressNow(const EditorWindow& e, WPARAM vk) {
  sh::KeyPress key;
  key.vk = static_cast<std::uint8_t>(vk);
  key.ctrl = Held(VK_CONTROL);
  key.shift = Held(VK_SHIFT);
  if (HIMC imc = ImmGetContext(e.pane[e.active()].view)) {
    key.imeOpen = ImmGetOpenStatus(imc) != 0;
    key.composing = key.imeOpen && ImmGetCompositionStringW(imc, GCS_COMPSTR, nullptr, 0) > 0;
    ImmReleaseContext(e.pane[e.active()].view, imc);
  }
  return key;
}

// The text of the input method's result string.
std::wstring CompositionResult(HWND hwnd) {
  std::wstring text;
  if (HIMC imc = ImmGetContext(hwnd)) {
    const LONG bytes = ImmGetCompositionStringW(imc, GCS_RESULTSTR, nullptr, 0);
    if (bytes > 0) {
      text.resize(static_cast<std::size_t>(bytes) / sizeof(wchar_t));
      const LONG got = ImmGetCompositionStringW(imc, GCS_RESULTSTR, text.data(), static_cast<DWORD>(bytes));
      text.resize(got > 0 ? static_cast<std::size_t>(got) / sizeof(wchar_t) : 0);
    }
    ImmReleaseContext(hwnd, imc);
  }
  return text;
}

// The text made the input method's composition and completed at once, as
// if the person had typed and confirmed it; whether the input method took it.
BOOL CompleteComposition(HWND hwnd, std::wstring_view text) {
  HIMC imc = ImmGetContext(hwnd);
  if (!imc) return FALSE;
  const BOOL wasOpen = ImmGetOpenStatus(imc);
  std::wstring units(text);
  const BOOL done = ImmSetOpenStatus(imc, TRUE) &&
                    ImmSetCompositionStringW(imc, SCS_SETSTR, units.data(), static_cast<DWORD>(units.size() * sizeof(wchar_t)),
                                             nullptr, 0) &&
                    ImmNotifyIME(imc, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
  ImmSetOpenStatus(imc, wasOpen);
  ImmReleaseContext(hwnd, imc);
  return done;
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  EditorWindow* e = WindowOf(hwnd);
  if (!e) return DefWindowProcW(hwnd, msg, wp, lp);
  const int p = PaneOf(hwnd);
  switch (msg) {
    case WM_PAINT:
      PaintView(*e, hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_VSCROLL: {
      SCROLLINFO si{};
      si.cbSize = sizeof si;
      si.fMask = SIF_ALL;
      GetScrollInfo(hwnd, SB_VERT, &si);
      const int rows = e->editor.pane(p).rows;
      int to = e->editor.pane(p).first.value;
      switch (LOWORD(wp)) {
        case SB_LINEUP: to -= 1; break;
        case SB_LINEDOWN: to += 1; break;
        case SB_PAGEUP: to -= rows; break;
        case SB_PAGEDOWN: to += rows; break;
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
      int to = e->editor.pane(p).xOffset;
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
      e->CheckFileOnDisk();
      e->Wheel(p, GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_IME_NOTIFY:
      if (wp == IMN_SETOPENSTATUS) e->RefreshStatus();
      break;
    case WM_CHAR:
    case WM_IME_CHAR:
      // Not while the mouse is selecting or dragging.
      if (GetCapture() != hwnd) e->TypeUnit(static_cast<wchar_t>(wp));
      return 0;
    case WM_IME_STARTCOMPOSITION:
      e->composing = true;
      e->PlaceComposition(p, true);
      break;
    case WM_IME_ENDCOMPOSITION:
      e->composing = false;
      break;
    case WM_IME_COMPOSITION:
      // The result goes in as one text; left to the default handling it would
      // come back as WM_IME_CHAR messages, one character at a time.
      if (lp & GCS_RESULTSTR) {
        if (GetCapture() != hwnd) e->TypeResult(CompositionResult(hwnd));
        return 0;
      }
      break;
    case WM_COPYDATA: {
      // A text for the input method, from the tests (they cannot type into
      // an input method): it becomes the composition and is completed, and
      // its result comes back as WM_IME_COMPOSITION.
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
      if (data == nullptr || data->dwData != kCompositionResultData) break;
      return CompleteComposition(hwnd, std::wstring_view(static_cast<const wchar_t*>(data->lpData),
                                                         data->cbData / sizeof(wchar_t)));
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (msg == WM_SYSKEYDOWN && wp != VK_F10) break;
      e->Apply(e->editor.KeyDown(KeyPressNow(*e, wp)));
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
      e->MakeCaret(p);
      e->Apply(e->editor.Activate(p));
      e->PlaceSystemCaret(p);
      e->RefreshStatus();
      return 0;
    case WM_KILLFOCUS:
      DestroyCaret();
      e->caretShown = false;
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd);
      // The file may have changed on disk meanwhile.
      e->CheckFileOnDisk();
      SetCapture(hwnd);
      const doc::TextPos at = e->editor.PositionAt(p, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      e->Apply(e->editor.Press(p, at, (wp & MK_SHIFT) != 0));
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      const doc::TextPos at = e->editor.PositionAt(p, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
      e->Apply(e->editor.DoubleClick(p, at));
      return 0;
    }
    case WM_MOUSEMOVE:
      if (e->editor.dragging() && (wp & MK_LBUTTON))
        e->Apply(e->editor.DragTo(p, e->editor.PositionAt(p, GET_X_LPARAM(lp), GET_Y_LPARAM(lp))));
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      EndOfDrag(*e, hwnd, msg);
      return 0;
    case WM_RBUTTONDOWN: {
      SetFocus(hwnd);
      e->CheckFileOnDisk();
      // The right-click menu works on the selection: the caret moves only without one.
      if (!e->editor.hasSelection()) {
        const doc::TextPos at = e->editor.PositionAt(p, GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
        e->Apply(e->editor.SetCaret(p, at.line, at.column));
      }
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK LineNumberProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  EditorWindow* e = WindowOf(hwnd);
  if (!e) return DefWindowProcW(hwnd, msg, wp, lp);
  const int p = PaneOf(hwnd);
  switch (msg) {
    case WM_PAINT:
      PaintNumbers(*e, hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEWHEEL:
      e->Wheel(p, GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_RBUTTONUP:
      PopupAt(*e, hwnd, lp, true);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      // Whole lines: a drag extends them.
      SetFocus(e->pane[p].view);
      SetCapture(hwnd);
      e->Apply(e->editor.LineNumberPress(p, e->editor.LineAtY(p, GET_Y_LPARAM(lp)), (wp & MK_SHIFT) != 0));
      return 0;
    case WM_MOUSEMOVE:
      if (e->editor.dragging() && (wp & MK_LBUTTON))
        e->Apply(e->editor.LineNumberDragTo(p, e->editor.LineAtY(p, GET_Y_LPARAM(lp))));
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      EndOfDrag(*e, hwnd, msg);
      return 0;
    case WM_RBUTTONDOWN:
      // The caret goes to the start of the clicked line.
      SetFocus(e->pane[p].view);
      e->Apply(e->editor.JumpTo(e->editor.LineAtY(p, GET_Y_LPARAM(lp))));
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// The bar between two panes: dragged with the left button, as long as both
// panes keep more than kLeastPane pixels.
LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  EditorWindow* e = WindowOf(hwnd);
  if (!e) return DefWindowProcW(hwnd, msg, wp, lp);
  const bool sideBySide = e->split() == 47;
  switch (msg) {
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, sideBySide ? IDC_SIZEWE : IDC_SIZENS));
      return TRUE;
    case WM_LBUTTONDOWN: {
      RECT a, b;
      GetWindowRect(e->pane[0].lineNumbers, &a);
      GetWindowRect(e->pane[1].view, &b);
      const int total = sideBySide ? (b.right - a.left) : (b.bottom - a.top);
      if (total > 2 * EditorWindow::kLeastPane + EditorWindow::kSplitterBar) {
        e->splitterGrab = sideBySide ? GET_X_LPARAM(lp) : GET_Y_LPARAM(lp);  // where on the bar it was taken
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
      const int room = (sideBySide ? b.right : b.bottom) - start - EditorWindow::kSplitterBar;
      if (room <= 2 * EditorWindow::kLeastPane) return 0;
      const int at = std::clamp(static_cast<int>(sideBySide ? pt.x : pt.y) - e->splitterGrab - start, EditorWindow::kLeastPane + 1,
                                room - EditorWindow::kLeastPane - 1);
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

gorvane::commands::KeyDecision DecideKeyNow(const EditorWindow& e, WPARAM vk) {
  namespace cm = gorvane::commands;
  const sh::KeyPress key = KeyPressNow(e, vk);
  const cm::ModifierState state = cm::ComputeModifierState(key.ctrl, key.shift, cm::DefaultShiftFlagged(key.vk));
  return cm::DecideKey(e.keys, state, key.vk, key.imeOpen, key.composing);
}

void EditorWindow::MakeCaret(int p) {
  // A bar between characters when inserting, a character's width when
  // overwriting.
  caretOverwrite = !editor.insertMode();
  const int width = caretOverwrite ? std::max(2, metrics.columnWidth) : 2;
  CreateCaret(pane[p].view, nullptr, width, std::max(1, metrics.textHeight));
  caretShown = false;  // a new caret starts hidden
}

void EditorWindow::PlaceSystemCaret(int p) {
  if (p != active() || GetFocus() != pane[p].view) return;
  if (caretOverwrite == editor.insertMode()) {
    DestroyCaret();
    MakeCaret(p);
  }
  const sh::PaneState& s = editor.pane(p);
  const int row = s.caret.line - s.first;
  const int x = leftMargin - s.xOffset + editor.XOfCaret(p);
  SetCaretPos(x, row * lineHeight + metrics.textOffset);
  // Showing and hiding count: each is done only when it changes something.
  const bool visible = row >= 0 && row <= s.rows && x >= leftMargin;
  if (visible != caretShown) {
    if (visible) ShowCaret(pane[p].view);
    else HideCaret(pane[p].view);
    caretShown = visible;
  }
  if (composing) PlaceComposition(p, false);
}

void EditorWindow::PlaceComposition(int p, bool withFont) {
  HWND view = pane[p].view;
  HIMC imc = ImmGetContext(view);
  if (!imc) return;
  const sh::PaneState& s = editor.pane(p);
  COMPOSITIONFORM form{};
  form.dwStyle = CFS_POINT;
  form.ptCurrentPos.x = leftMargin - s.xOffset + editor.XOfCaret(p);
  form.ptCurrentPos.y = (s.caret.line - s.first) * lineHeight + metrics.textOffset;
  ImmSetCompositionWindow(imc, &form);
  LOGFONTW lf{};
  if (withFont && font && GetObjectW(font, sizeof lf, &lf) == sizeof lf) ImmSetCompositionFontW(imc, &lf);
  ImmReleaseContext(view, imc);
}

void EditorWindow::TypeUnit(wchar_t unit) {
  // A surrogate pair arrives as two messages: its halves are joined.
  const bool high = unit >= 0xD800 && unit <= 0xDBFF, low = unit >= 0xDC00 && unit <= 0xDFFF;
  if (pendingHigh != 0) {
    const wchar_t first = std::exchange(pendingHigh, 0);
    if (low) {
      const wchar_t pair[2] = {first, unit};
      TypeResult(std::wstring_view(pair, 2));
      return;
    }
    TypeResult(std::wstring_view(&first, 1));  // a half alone
  }
  if (high) {
    pendingHigh = unit;
    return;
  }
  TypeResult(std::wstring_view(&unit, 1));
}

void EditorWindow::TypeResult(std::wstring_view text) {
  if (text.empty()) return;
  std::size_t replaced = 0;
  const std::string sjis = cc::WideToSjis(text, &replaced);
  Apply(editor.TypeText(sjis));
  if (replaced != 0 && !editor.writeProtected())
    sh::Status(host, u8"シフトＪＩＳコードに無い文字は ? に置き換えられました。");
}

void EditorWindow::Wheel(int p, int delta) {
  wheelDelta += delta;
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  if (lines == WHEEL_PAGESCROLL) lines = static_cast<UINT>(VisibleLines(p));
  while (wheelDelta >= WHEEL_DELTA || wheelDelta <= -WHEEL_DELTA) {
    const int step = wheelDelta > 0 ? -static_cast<int>(lines) : static_cast<int>(lines);
    wheelDelta += wheelDelta > 0 ? -WHEEL_DELTA : WHEEL_DELTA;
    ScrollTo(p, editor.pane(p).first.value + step);
  }
}

void EditorWindow::UpdateHorizontalBar(int p) {
  RECT r;
  GetClientRect(pane[p].view, &r);
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(widest + metrics.columnWidth * 4, editor.pane(p).xOffset + static_cast<int>(r.right));
  si.nPage = static_cast<UINT>(std::max<LONG>(1, r.right));
  si.nPos = editor.pane(p).xOffset;
  SetScrollInfo(pane[p].view, SB_HORZ, &si, TRUE);
}

void EditorWindow::SetUpFonts() {
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
  editor.SetMetrics(metrics, tabSize, leftMargin);
}

bool RegisterViewClasses(HINSTANCE inst) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = inst;
  wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
  wc.lpfnWndProc = ViewProc;
  wc.lpszClassName = L"QVChild";
  wc.style = CS_DBLCLKS;
  wc.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
  wc.cbWndExtra = 8;
  if (!RegisterClassExW(&wc)) return false;
  wc.lpfnWndProc = LineNumberProc;
  wc.lpszClassName = L"QVLineNum";
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  return RegisterClassExW(&wc) != 0;
}

}  // namespace gorvane::shell::win32
