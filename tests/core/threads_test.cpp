// Barcodes drawn on several threads at once, each thread on its own bitmap,
// come out pixel for pixel as when drawn alone: nothing on the way from the
// text to the pixels is shared between threads unguarded, and each thread's
// module widths are its own.
#include "qbarcode/qbarcode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace qb;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define QB_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define QB_SANITIZED 1
#endif
#endif

namespace {

constexpr int kThreads = 8;
// Drawings of each image, spread over the threads. The sanitizers make a
// drawing five to fifteen times slower; fewer rounds still interleave every
// pair of images many times.
#if defined(QB_SANITIZED)
constexpr int kDrawings = 160;
#else
constexpr int kDrawings = 1000;
#endif
constexpr int kRounds = kDrawings / kThreads;

const char* const kTexts[BarTypeCount] = {
    "1234567890", "1234567890",     "1234567890",   "CODE-39",       "Code 39 ext",      "ABC-123",
    "Hello!",     "12345678901234", "CODE-93",      "Code 93 ext",   "1234567",          "555551237",
    "123456",     "1234567",        "590123412345", "03600029145",   "0123456",          "0123456",
    "12",         "52495",          "0123456789",   "0101234567890", "0101234567890128",
};

constexpr double kAngles[] = {0, 90, 33.3, 180, 270};

struct Image {
    TBarType type;
    double angle;
    int modul;
    TTextShow show;
    TTextPosition position;
    TRect box; // where the drawing lands when placed at the origin
    std::vector<std::uint32_t> pixels;
};

constexpr int kBarHeight = 14;

void Draw(const Image& image, TBitmap& bitmap, const TFont& font)
{
    bitmap.Canvas().Brush().SetColor(clWhite);
    bitmap.Canvas().FillRect({0, 0, bitmap.Width(), bitmap.Height()});
    Q_DrawBar(bitmap.Canvas(), image.type, kTexts[image.type], image.modul, 2.5, csModulo10, -image.box.Left,
              -image.box.Top, kBarHeight, &font, image.show, image.position, clBlack, clWhite, clYellow, image.angle);
}

bool SamePixels(const Image& image, const TBitmap& bitmap)
{
    const int w = bitmap.Width();
    for (int y = 0; y < bitmap.Height(); ++y)
        if (!std::equal(bitmap.ScanLine(y), bitmap.ScanLine(y) + w, image.pixels.begin() + std::ptrdiff_t(y) * w))
            return false;
    return true;
}

// Every symbology at every angle, with module widths, captions and their
// places varying from image to image, so that threads drawing different
// images at the same moment would see each other's state.
std::vector<Image> DrawAlone(const TFont& font)
{
    std::vector<Image> images;
    TCanvas measuring;
    for (int t = 0; t < BarTypeCount; ++t)
        for (double angle : kAngles) {
            const int n = static_cast<int>(images.size());
            Image image{static_cast<TBarType>(t),          angle, 1 + n % 3, static_cast<TTextShow>(n % 4),
                        static_cast<TTextPosition>(n % 6), {},    {}};
            image.box = DrawingBounds(measuring, image.type, kTexts[t], image.modul, 2.5, csModulo10, 0, 0, kBarHeight,
                                      &font, image.show, image.position, angle);
            TBitmap bitmap(image.box.Width(), image.box.Height());
            Draw(image, bitmap, font);
            for (int y = 0; y < bitmap.Height(); ++y)
                image.pixels.insert(image.pixels.end(), bitmap.ScanLine(y), bitmap.ScanLine(y) + bitmap.Width());
            images.push_back(std::move(image));
        }
    return images;
}

TEST(Threads, DrawingsAtOnceEqualTheOnesDrawnAlone)
{
    TFont font; // one font for every thread: drawing only reads it
    font.Size = 7;
    const std::vector<Image> images = DrawAlone(font);
    const int count = static_cast<int>(images.size());

    std::atomic<int> differing{0}, wrongWidths{0}, failed{0};
    auto work = [&](int thread) {
        try {
            std::vector<std::unique_ptr<TBitmap>> bitmaps;
            for (const Image& image : images)
                bitmaps.push_back(std::make_unique<TBitmap>(image.box.Width(), image.box.Height()));
            for (int round = 0; round < kRounds; ++round)
                for (int k = 0; k < count; ++k) {
                    // Each thread walks the images from its own place.
                    const int i = (k + thread * count / kThreads) % count;
                    const Image& image = images[i];
                    Draw(image, *bitmaps[i], font);
                    if (!SamePixels(image, *bitmaps[i]))
                        ++differing;
                    if (ModuleWidth1 != image.modul)
                        ++wrongWidths;
                }
        } catch (...) {
            ++failed;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(work, t);
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(differing, 0) << "of " << kThreads * kRounds * count << " drawings";
    EXPECT_EQ(wrongWidths, 0);
}

} // namespace
