#include "platform/user/qt/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/user/clipboard.h"

namespace win {

namespace {

constexpr std::uint64_t kMaxDibBytes = 0x7FFFFFFF;

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Pixels as 32-bit B, G, R, x rows, each w * 4 bytes: what a 32-bit DIB holds. Translucent
// pixels are laid over white, as they would show on a plain page.
QImage OpaqueRgb32(const QImage& image) {
  if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
  QImage rgb(image.size(), QImage::Format_RGB32);
  if (rgb.isNull()) return rgb;
  rgb.fill(Qt::white);
  QPainter painter(&rgb);
  painter.drawImage(0, 0, image);
  painter.end();
  return rgb;
}

HBITMAP BitmapFromImage(const QImage& image) {
  const QImage rgb = OpaqueRgb32(image);
  if (rgb.isNull()) return nullptr;
  const BITMAPINFO info = TopDown32(rgb.width(), rgb.height());
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, rgb.width(), rgb.height());
  if (bitmap != nullptr && SetDIBits(screen, bitmap, 0, UINT(rgb.height()), rgb.constBits(), &info,
                                     DIB_RGB_COLORS) != rgb.height()) {
    DeleteObject(bitmap);
    bitmap = nullptr;
  }
  ReleaseDC(nullptr, screen);
  return bitmap;
}

// A packed DIB: header, then 32-bit rows bottom-up.
HGLOBAL DibFromImage(const QImage& image) {
  const QImage rgb = OpaqueRgb32(image);
  if (rgb.isNull()) return nullptr;
  const std::uint64_t rowBytes = std::uint64_t(rgb.width()) * 4;
  const std::uint64_t bytes = sizeof(BITMAPINFOHEADER) + rowBytes * std::uint64_t(rgb.height());
  if (bytes > kMaxDibBytes) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, std::size_t(bytes));
  if (memory == nullptr) return nullptr;
  auto* p = static_cast<BYTE*>(GlobalLock(memory));
  BITMAPINFOHEADER header = TopDown32(rgb.width(), rgb.height()).bmiHeader;
  header.biHeight = rgb.height();
  header.biSizeImage = DWORD(rowBytes * std::uint64_t(rgb.height()));
  std::memcpy(p, &header, sizeof header);
  BYTE* rows = p + sizeof header;
  for (int y = 0; y < rgb.height(); ++y)
    std::memcpy(rows + rowBytes * std::uint64_t(rgb.height() - 1 - y), rgb.constScanLine(y),
                std::size_t(rowBytes));
  GlobalUnlock(memory);
  return memory;
}

HPALETTE PaletteFromImage(const QImage& image) {
  const QList<QRgb> table = image.colorTable();
  if (table.isEmpty() || table.size() > 256) return nullptr;
  LOGPALETTE palette{};
  palette.palVersion = 0x300;
  palette.palNumEntries = WORD(table.size());
  for (qsizetype i = 0; i < table.size(); ++i)
    palette.palPalEntry[i] = {BYTE(qRed(table[i])), BYTE(qGreen(table[i])), BYTE(qBlue(table[i])),
                              0};
  return CreatePalette(&palette);
}

QList<QRgb> ColorTable(HPALETTE palette) {
  WORD count = 0;
  if (GetObjectA(palette, sizeof count, &count) == 0 || count == 0) return {};
  PALETTEENTRY entries[256];
  count = std::min<WORD>(count, 256);
  count = WORD(GetPaletteEntries(palette, 0, count, entries));
  QList<QRgb> table;
  for (WORD i = 0; i < count; ++i)
    table.push_back(qRgb(entries[i].peRed, entries[i].peGreen, entries[i].peBlue));
  return table;
}

// The image other programs see for our bitmap; with a palette, an indexed image over it.
QImage ImageFromBitmap(HBITMAP bitmap, HPALETTE palette) {
  BITMAP bm{};
  if (GetObjectA(bitmap, sizeof bm, &bm) < int(sizeof bm)) return {};
  const int width = bm.bmWidth;
  const int height = std::abs(bm.bmHeight);
  if (width <= 0 || height <= 0) return {};
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return {};
  BITMAPINFO info = TopDown32(width, height);
  HDC screen = GetDC(nullptr);
  HPALETTE old = nullptr;
  if (palette != nullptr) {
    old = SelectPalette(screen, palette, FALSE);
    RealizePalette(screen);
  }
  const int rows = GetDIBits(screen, bitmap, 0, UINT(height), image.bits(), &info, DIB_RGB_COLORS);
  if (palette != nullptr) SelectPalette(screen, old, FALSE);
  ReleaseDC(nullptr, screen);
  if (rows != height) return {};
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) row[x] |= 0xFF000000u;
  }
  if (palette != nullptr) {
    const QList<QRgb> table = ColorTable(palette);
    if (!table.isEmpty())
      return image.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither);
  }
  return image;
}

QImage ImageFromDib(HGLOBAL dib) {
  const std::size_t size = GlobalSize(dib);
  if (size < sizeof(BITMAPINFOHEADER)) return {};
  const auto* p = static_cast<const BYTE*>(GlobalLock(dib));
  if (p == nullptr) return {};
  BITMAPINFO info{};
  std::memcpy(&info.bmiHeader, p, sizeof(BITMAPINFOHEADER));
  const BITMAPINFOHEADER& h = info.bmiHeader;
  std::size_t colors = 0;
  if (h.biBitCount <= 8) colors = h.biClrUsed != 0 ? h.biClrUsed : (std::size_t{1} << h.biBitCount);
  if (h.biCompression == BI_BITFIELDS) colors = 3;
  const std::size_t bitsOffset = h.biSize + colors * sizeof(RGBQUAD);
  QImage image;
  if (h.biSize >= sizeof(BITMAPINFOHEADER) && colors <= 256 && bitsOffset < size) {
    std::memcpy(info.bmiColors, p + h.biSize, colors * sizeof(RGBQUAD));
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &h, CBM_INIT, p + bitsOffset, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (bitmap != nullptr) {
      image = ImageFromBitmap(bitmap, nullptr);
      DeleteObject(bitmap);
    }
  }
  GlobalUnlock(dib);
  return image;
}

HGLOBAL TextToGlobal(const QString& text) {
  const std::optional<std::string> ansi = Utf8ToAnsi(text.toStdString());
  if (!ansi) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, ansi->size() + 1);
  if (memory == nullptr) return nullptr;
  auto* p = static_cast<char*>(GlobalLock(memory));
  std::memcpy(p, ansi->c_str(), ansi->size() + 1);
  GlobalUnlock(memory);
  return memory;
}

std::optional<QString> TextFromGlobal(HGLOBAL memory) {
  const std::size_t size = GlobalSize(memory);
  const auto* p = static_cast<const char*>(GlobalLock(memory));
  if (p == nullptr) return std::nullopt;
  const std::string ansi(p, strnlen(p, size));
  GlobalUnlock(memory);
  const std::optional<std::string> utf8 = AnsiToUtf8(ansi);
  if (!utf8) return std::nullopt;
  return QString::fromStdString(*utf8);
}

bool IsImageMime(const QString& format) {
  return format.startsWith(QLatin1String("image/")) ||
         format == QLatin1String("application/x-qt-image");
}

bool IsTextMime(const QString& format) {
  return format == QLatin1String("text/plain") || format.startsWith(QLatin1String("text/plain;"));
}

// What another program put on the system clipboard, read once per open period.
struct ForeignData {
  std::vector<UINT> formats;
  QImage image;
  QString text;
  std::vector<std::pair<UINT, QByteArray>> raw;  // registered MIME formats
};

// The MIME type of a registered format whose name is one ("text/uri-list"); empty otherwise.
QString MimeOfFormat(UINT format) {
  char name[256];
  if (GetClipboardFormatNameA(format, name, sizeof name) == 0) return {};
  const QString mime = QString::fromLatin1(name);
  return mime.contains(QLatin1Char('/')) ? mime : QString();
}

HANDLE BytesToGlobal(const QByteArray& bytes) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, std::size_t(bytes.size()) + 1);
  if (memory == nullptr) return nullptr;
  auto* p = static_cast<char*>(GlobalLock(memory));
  if (p == nullptr) {
    GlobalFree(memory);
    return nullptr;
  }
  std::memcpy(p, bytes.constData(), std::size_t(bytes.size()));
  p[bytes.size()] = 0;
  GlobalUnlock(memory);
  return memory;
}

QByteArray BytesFromGlobal(HANDLE memory) {
  const std::size_t size = GlobalSize(memory);
  const auto* p = static_cast<const char*>(GlobalLock(memory));
  if (p == nullptr) return {};
  QByteArray bytes(p, qsizetype(strnlen(p, size)));
  GlobalUnlock(memory);
  return bytes;
}

ForeignData ReadForeign(const QMimeData* mime) {
  ForeignData data;
  if (mime == nullptr) return data;
  bool imageListed = false;
  bool textListed = false;
  auto listImage = [&] {
    if (imageListed) return;
    imageListed = true;
    if (!mime->hasImage()) return;
    data.image = qvariant_cast<QImage>(mime->imageData());
    if (data.image.isNull()) return;
    data.formats.push_back(CF_BITMAP);
    data.formats.push_back(CF_DIB);
    if (data.image.colorCount() > 0) data.formats.push_back(CF_PALETTE);
  };
  auto listText = [&] {
    if (textListed) return;
    textListed = true;
    if (!mime->hasText()) return;
    data.text = mime->text();
    data.formats.push_back(CF_TEXT);
  };
  for (const QString& format : mime->formats()) {
    if (IsImageMime(format)) listImage();
    if (IsTextMime(format)) listText();
    if (format == QLatin1String("text/uri-list") ||
        format == QLatin1String("x-special/gnome-copied-files")) {
      const UINT id = RegisterClipboardFormatA(format.toLatin1().constData());
      if (id != 0) {
        data.raw.emplace_back(id, mime->data(format));
        data.formats.push_back(id);
      }
    }
  }
  // Some platforms keep an image or text under a name of their own.
  listImage();
  listText();
  return data;
}

class QtClipboard final : public ClipboardBackend {
 public:
  void Opened() override {
    open_ = true;
    converted_.Clear();
    owned_ = OwnsSystemClipboard();
    if (owned_) return;
    own_.Clear();
    foreign_ = ReadForeign(QGuiApplication::clipboard()->mimeData());
  }

  void Closed(bool changed) override {
    open_ = false;
    if (changed && owned_) Publish();
    foreign_ = {};
  }

  void Empty() override {
    own_.Clear();
    converted_.Clear();
    foreign_ = {};
    owned_ = true;
  }

  std::vector<UINT> Formats() override {
    if (open_) return owned_ ? own_.Formats() : foreign_.formats;
    if (OwnsSystemClipboard()) return own_.Formats();
    return ReadForeign(QGuiApplication::clipboard()->mimeData()).formats;
  }

  HANDLE GetData(UINT format) override {
    if (owned_) return own_.Get(format);
    const auto& formats = foreign_.formats;
    if (std::find(formats.begin(), formats.end(), format) == formats.end()) return nullptr;
    if (HANDLE done = converted_.Get(format)) return done;
    HANDLE data = nullptr;
    switch (format) {
      case CF_BITMAP:
        data = BitmapFromImage(foreign_.image);
        break;
      case CF_DIB:
        data = DibFromImage(foreign_.image);
        break;
      case CF_PALETTE:
        data = PaletteFromImage(foreign_.image);
        break;
      case CF_TEXT:
        data = TextToGlobal(foreign_.text);
        break;
      default:
        for (const auto& [id, bytes] : foreign_.raw)
          if (id == format) data = BytesToGlobal(bytes);
        break;
    }
    if (data != nullptr) converted_.Set(format, data);
    return data;
  }

  bool SetData(UINT format, HANDLE data) override {
    if (!owned_) Empty();  // new data replaces another program's
    own_.Set(format, data);
    return true;
  }

 private:
  bool OwnsSystemClipboard() const {
    return !published_.isNull() && QGuiApplication::clipboard()->mimeData() == published_.data();
  }

  void Publish() {
    auto* mime = new QMimeData;
    QImage image;
    if (HANDLE bitmap = own_.Get(CF_BITMAP))
      image = ImageFromBitmap(static_cast<HBITMAP>(bitmap),
                              static_cast<HPALETTE>(own_.Get(CF_PALETTE)));
    else if (HANDLE dib = own_.Get(CF_DIB))
      image = ImageFromDib(dib);
    if (!image.isNull()) mime->setImageData(image);
    if (HANDLE text = own_.Get(CF_TEXT)) {
      if (std::optional<QString> s = TextFromGlobal(text)) mime->setText(*s);
    }
    for (UINT format : own_.Formats()) {
      const QString type = MimeOfFormat(format);
      if (!type.isEmpty()) mime->setData(type, BytesFromGlobal(own_.Get(format)));
    }
    QGuiApplication::clipboard()->setMimeData(mime);
    published_ = mime;
  }

  bool open_ = false;
  bool owned_ = false;
  ClipboardStore own_;        // what this program put there
  ClipboardStore converted_;  // another program's data as handles, freed at the next open
  ForeignData foreign_;
  QPointer<QMimeData> published_;
};

}  // namespace

void InstallQtClipboard() {
  SetClipboardBackend(std::make_unique<QtClipboard>());
}

void RemoveQtClipboard() {
  SetClipboardBackend(nullptr);
}

}  // namespace win
