// The pictures the windows load from resources: a missing entry shows as an empty
// window, a wrong size as a picture cut or stretched in the layout.
#include <gtest/gtest.h>

#include <QImage>
#include <QSet>

namespace {

struct Picture {
  const char* path;
  int width;
  int height;
  int maxColours;
};

class ImagesTest : public testing::TestWithParam<Picture> {};

TEST_P(ImagesTest, LoadsAtItsSizeAndDepth) {
  const Picture& p = GetParam();
  const QImage image(QString::fromLatin1(p.path));
  ASSERT_FALSE(image.isNull()) << p.path;
  EXPECT_EQ(image.size(), QSize(p.width, p.height)) << p.path;

  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  QSet<QRgb> colours;
  for (int y = 0; y < argb.height(); ++y)
    for (int x = 0; x < argb.width(); ++x)
      if (qAlpha(argb.pixel(x, y)) != 0) colours.insert(argb.pixel(x, y));
  EXPECT_LE(colours.size(), p.maxColours) << p.path;
}

INSTANTIATE_TEST_SUITE_P(Resources, ImagesTest,
                         testing::Values(Picture{":/images/backdrop.gif", 397, 255, 16},
                                         Picture{":/images/floppy.png", 32, 32, 16},
                                         Picture{":/images/about.png", 32, 32, 16},
                                         Picture{":/images/results-16.png", 16, 16, 256},
                                         Picture{":/images/results-32.png", 32, 32, 256},
                                         Picture{":/images/results-48.png", 48, 48, 256}));

}  // namespace
