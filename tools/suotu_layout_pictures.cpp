// Draws the pictures the main window's stored layout holds and writes them into the layout:
// the source preview's 300 x 300 JPEG placeholder, the banner strip's 16 x 19 JPEG tile, the
// close button's three 38 x 18 24-bit faces (clOlive where the panel shows through) and the
// program's icon at the sizes a desktop asks for (ICON_FOLDER/suotu-SIZE.png).
//   suotu-layout-pictures LAYOUT [ICON_FOLDER]
#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/jpeg_image.h"
#include "imaging/picture.h"
#include "runtime/stream.h"

namespace {

const QColor kOlive(0x80, 0x80, 0x00);

// A 24-bit bitmap with the image's pixels.
void ToBitmap(const QImage& source, TBitmap& bitmap) {
  const QImage image = source.convertToFormat(QImage::Format_RGB888);
  bitmap.SetColorDepth(TColorDepth::Depth24);
  bitmap.SetWidth(image.width());
  bitmap.SetHeight(image.height());
  for (int y = 0; y < image.height(); ++y) {
    const uchar* in = image.constScanLine(y);
    std::uint8_t* out = bitmap.RowPointer(y);
    for (int x = 0; x < image.width(); ++x) {
      out[3 * x] = in[3 * x + 2];  // blue, green, red
      out[3 * x + 1] = in[3 * x + 1];
      out[3 * x + 2] = in[3 * x];
    }
  }
}

std::vector<std::uint8_t> Bytes(TMemoryStream& stream) {
  std::vector<std::uint8_t> bytes(std::size_t(stream.Size()));
  stream.Seek(0, TSeekOrigin::soBeginning);
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), std::int32_t(bytes.size()));
  return bytes;
}

// A picture's stored data holding the image as JPEG.
std::vector<std::uint8_t> JpegPicture(const QImage& image) {
  TBitmap bitmap;
  ToBitmap(image, bitmap);
  TJPEGImage jpeg;
  jpeg.CopyFrom(&bitmap);
  jpeg.SetEncodeQuality(90);
  // Writing encodes the bitmap into the image's bytes, which the stored data holds.
  TMemoryStream scratch;
  jpeg.WriteToStream(scratch);
  TPicture picture;
  picture.SetGraphic(&jpeg);
  TMemoryStream stream;
  picture.WriteStoredData(stream);
  return Bytes(stream);
}

std::vector<std::uint8_t> BitmapData(const QImage& image) {
  TBitmap bitmap;
  ToBitmap(image, bitmap);
  TMemoryStream stream;
  bitmap.WriteStoredData(stream);
  return Bytes(stream);
}

QImage Placeholder() {
  QImage image(300, 300, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient field(0, 0, 0, 300);
  field.setColorAt(0, QColor(0x1E, 0x5A, 0xB4));
  field.setColorAt(1, QColor(0x0C, 0x2E, 0x78));
  p.fillRect(image.rect(), field);
  // The globe: a yellow disc with a meridian, the equator and two parallels.
  QRadialGradient globe(QPointF(130, 95), 90);
  globe.setColorAt(0, QColor(0xFF, 0xF2, 0x80));
  globe.setColorAt(1, QColor(0xE8, 0xB8, 0x10));
  p.setBrush(globe);
  p.setPen(QPen(QColor(0xB0, 0x80, 0x00), 2));
  p.drawEllipse(QPointF(150, 120), 75, 75);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(150, 120), 30, 75);
  p.drawLine(QPointF(75, 120), QPointF(225, 120));
  p.drawLine(QPointF(150, 45), QPointF(150, 195));
  p.drawEllipse(QRectF(86, 70, 128, 20));
  p.drawEllipse(QRectF(86, 150, 128, 20));
  QFont font("WenQuanYi Zen Hei");
  font.setPixelSize(30);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0xFF, 0xF2, 0x80));
  p.drawText(QRect(0, 215, 300, 50), Qt::AlignCenter, QString::fromUtf8("暂无照片"));
  return image;
}

QImage Tile() {
  QImage image(16, 19, QImage::Format_RGB32);
  for (int y = 0; y < 19; ++y)
    for (int x = 0; x < 16; ++x)
      image.setPixelColor(x, y, QColor(0xB8 + y * 2, 0xE2 + y, 0xF8 + (y & 7) / 4));
  return image;
}

// A close-button face: a rounded body of the face's colours with a cross; olive outside.
QImage Face(QColor top, QColor bottom, QColor cross) {
  QImage image(38, 18, QImage::Format_RGB32);
  image.fill(kOlive);
  QPainter p(&image);
  QLinearGradient body(0, 0, 0, 18);
  body.setColorAt(0, top);
  body.setColorAt(1, bottom);
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  p.drawRoundedRect(QRect(1, 0, 36, 17), 4, 4);  // no antialiasing: olive stays exact
  p.setPen(QPen(cross, 2));
  p.drawLine(14, 4, 23, 13);
  p.drawLine(23, 4, 14, 13);
  return image;
}

// The icon is drawn on a 64-pixel grid and scaled to size.
QImage Icon(int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setBrush(QColor(0x1F, 0xB1, 0xEC));
  p.setPen(QPen(QColor(0x2F, 0x88, 0xA2), 3));
  p.drawRoundedRect(QRect(4, 4, 56, 56), 10, 10);
  p.setBrush(QColor(0xF4, 0xFA, 0xFF));
  p.setPen(Qt::NoPen);
  p.drawRect(QRect(14, 16, 36, 28));
  p.setBrush(QColor(0xE8, 0xB8, 0x10));
  p.drawEllipse(QPointF(40, 25), 5, 5);
  p.setBrush(QColor(0x2F, 0x88, 0xA2));
  p.drawPolygon(QPolygon({QPoint(14, 44), QPoint(28, 28), QPoint(40, 44)}));
  return image;
}

std::string Block(const std::string& indent, const std::string& property,
                  const std::vector<std::uint8_t>& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = indent + property + " = {";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 32 == 0) out += "\n" + indent + "  ";
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
  }
  return out + "}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: suotu-layout-pictures LAYOUT [ICON_FOLDER]\n");
    return 2;
  }
  QApplication qt(argc, argv);  // fonts for the placeholder's words
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  // Blocks written last time go; each mark gets fresh ones.
  std::string out, line;
  bool skipping = false;
  while (std::getline(in, line)) {
    if (skipping || (line.find(".Data = {") != std::string::npos)) {
      skipping = line.find('}') == std::string::npos;
      continue;
    }
    out += line + "\n";
    const std::size_t mark = line.find("// @picture ");
    if (mark == std::string::npos) continue;
    const std::string indent = line.substr(0, mark);
    const std::string name = line.substr(mark + 12);
    if (name == "Image1") {
      out += Block(indent, "Picture.Data", JpegPicture(Placeholder()));
    } else if (name == "Image3") {
      out += Block(indent, "Picture.Data", JpegPicture(Tile()));
    } else if (name == "RzBmpButton1") {
      out += Block(indent, "Bitmaps.Up.Data",
                   BitmapData(Face(QColor(0x9C, 0xD8, 0xF4), QColor(0x58, 0xB0, 0xE0), Qt::white)));
      out += Block(indent, "Bitmaps.Hot.Data",
                   BitmapData(Face(QColor(0xE8, 0x30, 0x20), QColor(0x40, 0x90, 0xE0), Qt::white)));
      out += Block(indent, "Bitmaps.Down.Data",
                   BitmapData(Face(QColor(0x90, 0x10, 0x10), QColor(0x70, 0x08, 0x08), Qt::white)));
    } else {
      std::fprintf(stderr, "no picture for %s\n", name.c_str());
      return 1;
    }
  }
  in.close();
  std::ofstream(argv[1]) << out;
  if (argc > 2) {
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
      const std::string path = std::string(argv[2]) + "/suotu-" + std::to_string(size) + ".png";
      if (!Icon(size).save(QString::fromStdString(path))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
