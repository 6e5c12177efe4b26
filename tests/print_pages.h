#pragma once
// Reading printed pages back: a PDF page turned into pixels by pdftoppm (poppler, outside the
// code under test), the box the ink covers, and whether a picture shows stretched in a box.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRectF>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vantrel::testing {

inline std::string commandOutput(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

// The value of one "Key: value" line of pdfinfo.
inline std::string pdfInfo(const std::filesystem::path& pdf, const std::string& key)
{
    const std::string info = commandOutput("pdfinfo '" + pdf.string() + "' 2>&1");
    const auto at = info.find(key + ":");
    if (at == std::string::npos)
        return {};
    auto begin = info.find_first_not_of(' ', at + key.size() + 1);
    auto end = info.find('\n', at);
    return info.substr(begin, end - begin);
}

// Page 1 at dpi, or a null image.
inline QImage renderPdfPage(const std::filesystem::path& pdf, int dpi)
{
    const std::filesystem::path stem = pdf.parent_path() / (pdf.stem().string() + "-page");
    const std::string command = "pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -png -singlefile '" + pdf.string() +
                                "' '" + stem.string() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    return QImage(QString::fromStdString(stem.string() + ".png")).convertToFormat(QImage::Format_RGB32);
}

inline bool nearWhite(QRgb c) { return qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245; }

// The smallest box holding every pixel that is not white.
inline QRect inkBox(const QImage& page)
{
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (!nearWhite(page.pixel(x, y))) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

inline bool sameColour(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Where picture pixel (x, y) lands when the picture is stretched onto box.
inline QPoint landing(const QImage& picture, const QRectF& box, double x, double y)
{
    return QPoint(static_cast<int>(box.left() + (x + 0.5) * box.width() / picture.width()),
                  static_cast<int>(box.top() + (y + 0.5) * box.height() / picture.height()));
}

inline bool uniformPatch(const QImage& picture, int x, int y)
{
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx)
            if (picture.pixel(x + dx, y + dy) != picture.pixel(x, y))
                return false;
    return true;
}

// The picture pixel (inside a patch of its own colour, so that neither scaling nor
// compression can blur it) shows in its colour where it lands on the page.
inline ::testing::AssertionResult showsAt(const QImage& page, const QImage& picture, const QRectF& box, int x, int y,
                                          int tolerance = 24)
{
    if (!uniformPatch(picture, x, y))
        return ::testing::AssertionFailure() << "(" << x << ", " << y << ") is not inside a patch of one colour";
    const QRgb want = picture.pixel(x, y);
    const QPoint p = landing(picture, box, x, y);
    const QRgb got = page.pixel(p);
    if (!sameColour(got, want, tolerance))
        return ::testing::AssertionFailure() << "picture (" << x << ", " << y << ") " << QColor(want).name().toStdString()
                                             << " shows as " << QColor(got).name().toStdString() << " at page (" << p.x()
                                             << ", " << p.y() << ")";
    return ::testing::AssertionSuccess();
}

// Every patch of one colour on a grid over the picture shows in its colour on the page; returns
// how many were checked.
inline int expectPictureIn(const QImage& page, const QImage& picture, const QRectF& box, int tolerance = 24)
{
    int checked = 0, wrong = 0;
    for (int y = 6; y < picture.height() - 6; y += 17)
        for (int x = 6; x < picture.width() - 6; x += 17) {
            if (!uniformPatch(picture, x, y))
                continue;
            ++checked;
            if (const auto r = showsAt(page, picture, box, x, y, tolerance); !r && ++wrong <= 5)
                ADD_FAILURE() << r.message();
        }
    EXPECT_EQ(wrong, 0) << "of " << checked;
    return checked;
}

} // namespace vantrel::testing
