// The Windows GDI and USER calls the library draws with, under their Win32 names:
// handle types, records and constants declared here from the documented behaviour,
// implemented on FreeType and fontconfig. Each call states its failure result.
// Calls are for one thread at a time, as GDI is used in the library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "include/ziVodaRerodo_types.h"

// ---- Basic types ----------------------------------------------------------

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using BOOL = int;
using WCHAR = char16_t;
using LPVOID = void*;
using COLORREF = DWORD;  // 0x00BBGGRR

// Opaque handles. The tag types are never defined: a handle is a number that the
// handle table decodes, never a pointer to memory.
struct GdiDeviceContextTag;
struct GdiBitmapTag;
struct GdiFontTag;
struct UserWindowTag;
using HGDIOBJ = void*;
using HDC = GdiDeviceContextTag*;
using HBITMAP = GdiBitmapTag*;
using HFONT = GdiFontTag*;
using HWND = UserWindowTag*;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// ---- Records ---------------------------------------------------------------

// The platform's rectangle is the library's Rect: same fields, same layout.
using RECT = Rect;

struct POINT {
  LONG x;
  LONG y;
};

struct BITMAP {
  LONG bmType;        // always 0
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;  // bytes per scan line, rounded up to a WORD
  WORD bmPlanes;      // always 1
  WORD bmBitsPixel;   // 1 or 32
  LPVOID bmBits;      // null: these bitmaps are device-dependent
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // > 0: bottom-up rows, < 0: top-down rows
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

constexpr int LF_FACESIZE = 32;

struct LOGFONTW {
  LONG lfHeight;  // < 0: em height in pixels, > 0: cell height, 0: the default (cell height 16)
  LONG lfWidth;   // recorded; glyphs keep their natural aspect
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;  // 0 (FW_DONTCARE) is FW_NORMAL
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTW) == 92);

struct TEXTMETRICW {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  WCHAR tmFirstChar;
  WCHAR tmLastChar;
  WCHAR tmDefaultChar;
  WCHAR tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

// ---- Constants ---------------------------------------------------------------

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;
constexpr DWORD BI_RGB = 0;

constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_EXTRALIGHT = 200;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_EXTRABOLD = 800;
constexpr LONG FW_HEAVY = 900;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE SHIFTJIS_CHARSET = 128;
constexpr BYTE HANGUL_CHARSET = 129;
constexpr BYTE GB2312_CHARSET = 134;
constexpr BYTE CHINESEBIG5_CHARSET = 136;

constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE DEFAULT_PITCH = 0;

constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
constexpr BYTE FF_SCRIPT = 0x40;
constexpr BYTE FF_DECORATIVE = 0x50;

// tmPitchAndFamily bits. TMPF_FIXED_PITCH set means a variable-pitch font.
constexpr BYTE TMPF_FIXED_PITCH = 0x01;
constexpr BYTE TMPF_VECTOR = 0x02;
constexpr BYTE TMPF_TRUETYPE = 0x04;
constexpr BYTE TMPF_DEVICE = 0x08;

// ---- Windows and device contexts -------------------------------------------

// The desktop window: a fixed handle that only GetDC and ReleaseDC accept.
HWND GetDesktopWindow();

// A device context for the whole screen (32 bits a pixel) when hwnd is null or
// the desktop window. Release it with ReleaseDC. Failure: null (another hwnd).
HDC GetDC(HWND hwnd);

// Gives back a DC from GetDC. Returns 1 when released; 0 for any other handle.
int ReleaseDC(HWND hwnd, HDC hdc);

// A memory DC compatible with the screen (hdc null) or with hdc: the shared 1x1
// one-bit bitmap and the initial font (DejaVu Sans, cell height 16) selected,
// background white and opaque, text black, viewport origin (0, 0).
// Failure: null (hdc given but not a live DC).
HDC CreateCompatibleDC(HDC hdc);

// Deletes a memory DC; what it had selected is selected nowhere afterwards.
// Failure: 0 (not a live memory DC; DCs from GetDC go back with ReleaseDC).
BOOL DeleteDC(HDC hdc);

// Each returns the previous value. Failure: CLR_INVALID (not a live DC).
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF SetTextColor(HDC hdc, COLORREF color);

// mode is TRANSPARENT or OPAQUE. Returns the previous mode.
// Failure: 0 (not a live DC, or another mode; nothing changes).
int SetBkMode(HDC hdc, int mode);

// Logical (0, 0) maps to device (x, y); the old origin goes to *previous when
// given. Failure: 0 (not a live DC).
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* previous);

// ---- Objects -------------------------------------------------------------------

// Selects a bitmap (memory DCs only; one DC at a time) or a font into hdc and
// returns the object of that kind selected until then.
// Failure: null, nothing changed (null or dead handle, a bitmap for a screen DC
// or already selected into another DC).
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);

// Deletes a bitmap or font. The initial objects of a DC are shared and stay:
// deleting one returns 1 and does nothing.
// Failure: 0 (null or dead handle, a DC, an object still selected into a DC).
BOOL DeleteObject(HGDIOBJ object);

// Copies the description of a bitmap (BITMAP; size must reach bmBitsPixel) or a
// font (the LOGFONTW it was made from, cut to size) into buffer and returns the
// bytes written; with a null buffer returns the size of the record.
// Failure: 0, buffer untouched (dead handle, a DC, a size too small).
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);

// ---- Bitmaps -----------------------------------------------------------------

// A new bitmap of width x height in the format of hdc: 32 bits a pixel for a
// screen DC, the format of the selected bitmap for a memory DC. Every pixel is
// zero. A zero width or height gives a 1x1 one-bit bitmap.
// Failure: null (dead DC, a negative size, more than 2^27 pixels, no memory).
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);

// Converts scan lines [start, start + lines) of the DIB that info describes
// (biBitCount 32, BI_RGB, biWidth > 0, biHeight < 0 top-down or > 0 bottom-up)
// into bits as 32-bit blue, green, red, 0 pixels, biWidth * 4 bytes a line. The
// DIB's top-left pixel is the bitmap's. With biSizeImage nonzero, no line past
// that many bytes is written. Returns the lines copied from the bitmap. With a
// null bits and biBitCount 0 it fills the header with the bitmap's format and
// returns 1 (with biBitCount 32: nothing to fill, returns 1). The bitmap may
// be selected into a DC.
// Failure: 0 (dead handles, null info, another format or usage than
// DIB_RGB_COLORS).
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info,
              UINT usage);

// ---- Fonts -------------------------------------------------------------------

// A font matched through fontconfig by lfFaceName, lfWeight and lfItalic (an
// empty or uninstalled face takes fontconfig's choice for "sans-serif"), with
// bold and oblique synthesised when the family lacks them.
// Failure: null (null logfont, no usable font file).
HFONT CreateFontIndirectW(const LOGFONTW* logfont);

// The metrics of the font selected into hdc, by GDI's definitions for TrueType.
// Failure: 0, metrics untouched (dead DC, null metrics, no font).
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);

// ---- Text drawing ----------------------------------------------------------------

// DrawTextW format flags, with the values and meanings Windows documents.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_MODIFYSTRING = 0x00010000;
constexpr UINT DT_RTLREADING = 0x00020000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
constexpr UINT DT_NOFULLWIDTHCHARBREAK = 0x00080000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;
constexpr UINT DT_PREFIXONLY = 0x00200000;

struct DRAWTEXTPARAMS {
  UINT cbSize;        // sizeof(DRAWTEXTPARAMS), else the call fails
  int iTabLength;     // tab stops in average character widths (DT_TABSTOP); 0 means 8
  int iLeftMargin;    // pixels (as Windows behaves; its documentation says average widths)
  int iRightMargin;   // pixels
  UINT uiLengthDrawn; // out: characters processed
};

// Lays out text (cch units, or up to its NUL when cch is -1) in *rect by format
// and draws it with the DC's font, text colour and background mode, or with
// DT_CALCRECT only sets rect->right and rect->bottom. With DT_MODIFYSTRING and
// an end or path ellipsis the displayed text is written back into text, which
// must then have room for cch + 4 units. Returns the height of the text, or for
// DT_SINGLELINE with DT_VCENTER or DT_BOTTOM the offset of its bottom from
// rect->top (1 when that is 0).
// Failure: 0, nothing touched (dead DC, null text, null rect).
int DrawTextW(HDC hdc, const WCHAR* text, int cch, RECT* rect, UINT format);

// DrawTextW with margins and a tab length from params (may be null), and the
// number of units processed written to params->uiLengthDrawn. DT_TABSTOP takes
// the tab length from iTabLength, and bits 8-15 of format keep their meaning.
// Failure: 0 (as DrawTextW, or params->cbSize is not sizeof(DRAWTEXTPARAMS)).
int DrawTextExW(HDC hdc, WCHAR* text, int cch, RECT* rect, UINT format, DRAWTEXTPARAMS* params);
