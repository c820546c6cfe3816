// Renders the program's SVG icon to a square PNG of a given size, for the icon theme's
// fixed-size folders. Runs at build time. Painting shapes into a QImage needs no
// application object (nor a display); an icon with text in it would need one for fonts.
// Usage: byteway-rendericon INPUT.svg OUTPUT.png SIZE

#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT.svg OUTPUT.png SIZE\n", argv[0]);
        return 2;
    }
    bool sizeRead = false;
    const int size = QString::fromLocal8Bit(argv[3]).toInt(&sizeRead);
    if (!sizeRead || size < 1 || size > 4096) {
        std::fprintf(
            stderr, "rendericon: the size must be 1 to 4096 pixels, not \"%s\"\n", argv[3]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "rendericon: %s is not a readable SVG image\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "rendericon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
