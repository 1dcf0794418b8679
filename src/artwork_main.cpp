// mealwise-artwork: draws the splash picture and the main window's backdrop
// at the size and ratio most screens use (96 dots per inch, so 15 twips to
// the pixel, ratio 1) and writes them as C++ arrays, so that the program
// starts without drawing them. Run by the build; not installed.
#include "app/artwork.h"

#include <QFile>
#include <QImage>
#include <QTextStream>

#include <cstdio>

namespace {
// A design length in twips at 15 twips to the pixel.
int px(int twips)
{
    return (twips + 7) / 15;
}

void write(QTextStream &out, const char *name, const QImage &image, QSize size, QRect visible)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    out << "static const unsigned char " << name << "Pixels[] = {";
    const int bytes = int(rgb.sizeInBytes());
    const uchar *data = rgb.constBits();
    for (int i = 0; i < bytes; ++i)
        out << (i % 32 == 0 ? "\n" : "") << int(data[i]) << ',';
    out << "\n};\nconst Picture " << name << "{" << name << "Pixels, " << rgb.width() << ", " << rgb.height() << ", "
        << size.width() << ", " << size.height() << ", " << visible.x() << ", " << visible.y() << ", "
        << visible.width() << ", " << visible.height() << "};\n";
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mealwise-artwork OUTPUT.cpp\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "mealwise-artwork: cannot write %s\n", argv[1]);
        return 1;
    }
    QTextStream out(&file);
    out << "// Written by mealwise-artwork; do not edit.\nnamespace artworkcache {\n"
           "struct Picture\n{\n    const unsigned char *pixels;\n    int width, height;\n    int sizeW, sizeH;\n"
           "    int visX, visY, visW, visH;\n};\nextern const Picture splash;\nextern const Picture backdrop;\n";
    // The splash's Image1 (10395 x 8655 twips), of which its frame (7380 x
    // 4590) shows the upper left; the main window's Image1 (11055 x 6345).
    const QSize splashSize(px(10395), px(8655));
    const QRect splashShown(0, 0, px(7380), px(4590));
    write(out, "splash", artwork::drawSplashPicture(splashSize, 1.0, splashShown), splashSize, splashShown);
    const QSize backdropSize(px(11055), px(6345));
    write(out, "backdrop", artwork::drawMainBackdrop(backdropSize, 1.0), backdropSize,
          QRect(QPoint(0, 0), backdropSize));
    out << "} // namespace artworkcache\n";
    out.flush();
    return file.error() == QFileDevice::NoError ? 0 : 1;
}
